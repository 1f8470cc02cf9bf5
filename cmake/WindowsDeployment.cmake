# What a Windows program built with Qt needs beside its .exe: the Qt DLLs and plugins it loads,
# a qt.conf that keeps Qt's paths inside the program's folder, Qt's Japanese texts and, with
# MinGW, the C++ runtime. Copied into the build's bin folder, so that the programs and tests
# there start as they are (under wine too).
#
#   pivotta_windows_runtime(<name> [INSTALL] TARGETS <Qt libraries and plugins>...)
#
# makes the target <name>, built with ALL; INSTALL also installs the files beside the program.

# A file of the compiler's own (the MinGW runtime DLLs), or nothing when it has none.
function(pivotta_compiler_file name out)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    set(path "")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

function(pivotta_windows_runtime name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "INSTALL" "" "TARGETS")
  set(PIVOTTA_RUNTIME_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set(commands)
  set(outputs)
  foreach(qt_target IN LISTS arg_TARGETS)
    get_target_property(plugin_type ${qt_target} QT_PLUGIN_TYPE)
    set(folder ${PIVOTTA_RUNTIME_DIR})
    set(install_folder ${CMAKE_INSTALL_BINDIR})
    if(plugin_type)
      string(APPEND folder /${plugin_type})
      string(APPEND install_folder /${plugin_type})
    endif()
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
                         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${qt_target}> ${folder}/)
    if(arg_INSTALL)
      install(FILES $<TARGET_FILE:${qt_target}> DESTINATION ${install_folder})
    endif()
  endforeach()
  add_custom_target(${name} ALL ${commands} VERBATIM)

  if(NOT arg_INSTALL)
    return()
  endif()
  # Prefix "." puts plugins and translations in folders beside the program, wherever it is installed.
  set(qt_conf ${PIVOTTA_RUNTIME_DIR}/qt.conf)
  file(WRITE ${qt_conf} "[Paths]\nPrefix=.\nPlugins=.\nTranslations=translations\n")
  install(FILES ${qt_conf} DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Qt's own dialogs in Japanese: the host's Qt of the same version has the texts.
  find_file(PIVOTTA_QT_JAPANESE qtbase_ja.qm PATHS /usr/share/qt6/translations ${QT6_INSTALL_PREFIX}/translations
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(PIVOTTA_QT_JAPANESE)
    file(COPY ${PIVOTTA_QT_JAPANESE} DESTINATION ${PIVOTTA_RUNTIME_DIR}/translations)
    install(FILES ${PIVOTTA_QT_JAPANESE} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)
  endif()
  if(NOT MINGW)
    return()
  endif()
  # The C++ runtime that the Qt DLLs link against, stripped: Debian's libstdc++ carries 20 MB of symbols.
  set(runtime_copies)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    pivotta_compiler_file(${dll} source)
    if(NOT source)
      message(FATAL_ERROR "The MinGW runtime ${dll} was not found beside ${CMAKE_CXX_COMPILER}.")
    endif()
    add_custom_command(OUTPUT ${PIVOTTA_RUNTIME_DIR}/${dll}
        COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${PIVOTTA_RUNTIME_DIR}/${dll} ${source}
        DEPENDS ${source} VERBATIM)
    list(APPEND runtime_copies ${PIVOTTA_RUNTIME_DIR}/${dll})
  endforeach()
  add_custom_target(${name}_mingw ALL DEPENDS ${runtime_copies})
  add_dependencies(${name} ${name}_mingw)
  install(FILES ${runtime_copies} DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
