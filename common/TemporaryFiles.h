// The temporary files being written, kept where an interrupt handler can reach them: fixed
// slots of plain characters, so that removing them needs no allocation and no lock.
#pragma once

#include <string>

namespace pivotta::files {

// Registers a temporary file's path for as long as it lives. Register before the file is
// created, so that no moment is left in which an interrupt would miss it. When every slot is
// taken (more files written at once than there are slots) the file simply goes unregistered.
class RegisteredTemporary {
public:
    explicit RegisteredTemporary(const std::string& path);
    ~RegisteredTemporary();
    RegisteredTemporary(const RegisteredTemporary&) = delete;
    RegisteredTemporary& operator=(const RegisteredTemporary&) = delete;

private:
    int slot_ = -1;
};

// Calls remove(path) for every registered path. Async-signal-safe as long as remove is.
void ForEachRegisteredTemporary(void (*remove)(const char* path));

}  // namespace pivotta::files
