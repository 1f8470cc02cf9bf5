// The settings store: defaults, encodings, reading and writing orders, placement rules, and
// the main window's load at start and save at close.
#include <QSettings>
#include <map>
#include <QTemporaryDir>
#include <QtTest>

#include "MainWindowHarness.h"
#include "SettingsStore.h"
#include "StatusPanels.h"

using namespace pivotta::app;

namespace {

// Records every operation on the key, answering reads from a map.
class RecordingKey : public SettingsKey {
public:
    bool opens = true;
    std::map<QString, QVariant> values;
    QStringList log;

    bool Open(bool forWriting) override
    {
        log << (forWriting ? QStringLiteral("open-write") : QStringLiteral("open-read"));
        return opens;
    }
    bool HasValue(const QString& name) override { return values.count(name) != 0; }
    std::optional<int32_t> ReadInteger(const QString& name) override
    {
        log << QStringLiteral("read ") + name;
        const QVariant& value = values.at(name);
        if (value.typeId() != QMetaType::Int) return std::nullopt;
        return value.toInt();
    }
    std::optional<QString> ReadText(const QString& name) override
    {
        log << QStringLiteral("read ") + name;
        const QVariant& value = values.at(name);
        if (value.typeId() != QMetaType::QString) return std::nullopt;
        return value.toString();
    }
    void WriteInteger(const QString& name, int32_t value) override
    {
        log << QStringLiteral("write %1=%2").arg(name).arg(value);
        values[name] = value;
    }
    void WriteText(const QString& name, const QString& value) override
    {
        log << QStringLiteral("write %1=%2").arg(name, value);
        values[name] = value;
    }
    void Close() override { log << QStringLiteral("close"); }
};

const QStringList kOptionOrder{
    "gDHTWarning",          "gFolderProcessInfo",    "gSaveResult",         "gForceSave",
    "gSaveSameFolder",      "gSaveFolder",           "gKeepTimeStamp_Create", "gKeepTimeStamp_Write",
    "gToolBarSaveButtonIsSaveAs", "gViewProportional", "gAllowBreakDCF",      "gAllowAdjustMCU",
    "gResetOrientation",    "gConfirmUnsaved",       "gOptimizeHuffman",     "gOutputCoding",
};

QStringList NamesOf(const QStringList& log, const QString& prefix)
{
    QStringList names;
    for (const QString& entry : log) {
        if (!entry.startsWith(prefix)) continue;
        names << entry.mid(prefix.size()).section(u'=', 0, 0);
    }
    return names;
}

bool SameSettings(const AppSettings& a, const AppSettings& b)
{
    return a.gDHTWarning == b.gDHTWarning && a.gFolderProcessInfo == b.gFolderProcessInfo &&
           a.gSaveResult == b.gSaveResult && a.gForceSave == b.gForceSave && a.gSaveSameFolder == b.gSaveSameFolder &&
           a.gSaveFolder == b.gSaveFolder && a.gKeepTimeStamp_Create == b.gKeepTimeStamp_Create &&
           a.gKeepTimeStamp_Write == b.gKeepTimeStamp_Write &&
           a.gToolBarSaveButtonIsSaveAs == b.gToolBarSaveButtonIsSaveAs &&
           a.gViewProportional == b.gViewProportional && a.gAllowBreakDCF == b.gAllowBreakDCF &&
           a.gAllowAdjustMCU == b.gAllowAdjustMCU && a.gResetOrientation == b.gResetOrientation &&
           a.gConfirmUnsaved == b.gConfirmUnsaved && a.gOptimizeHuffman == b.gOptimizeHuffman &&
           a.gOutputCoding == b.gOutputCoding;
}

AppSettings EveryOptionFlipped()
{
    AppSettings s;
    s.gDHTWarning = false;
    s.gFolderProcessInfo = false;
    s.gSaveResult = false;
    s.gForceSave = false;
    s.gSaveSameFolder = true;
    s.gSaveFolder = QStringLiteral("/home/someone/写真, 結果");
    s.gKeepTimeStamp_Create = true;
    s.gKeepTimeStamp_Write = true;
    s.gToolBarSaveButtonIsSaveAs = false;
    s.gViewProportional = true;
    s.gAllowBreakDCF = true;
    s.gAllowAdjustMCU = false;
    s.gResetOrientation = false;
    s.gConfirmUnsaved = false;
    s.gOptimizeHuffman = true;
    s.gOutputCoding = 2;
    return s;
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void ReadsAndWritesInTheirOrders()
    {
        RecordingKey key;
        for (const char* name : {"App_Top", "App_Left", "App_Height", "App_Width", "App_WindowState"})
            key.values[name] = 0;
        for (const QString& name : kOptionOrder)
            key.values[name] = name == "gSaveFolder" ? QVariant(QString()) : QVariant(1);
        AppSettings settings;
        WindowPlacement placement;
        LoadSettings(key, settings, placement);
        QCOMPARE(key.log.first(), QStringLiteral("open-read"));
        QCOMPARE(key.log.last(), QStringLiteral("close"));
        QCOMPARE(NamesOf(key.log, "read "),
                 QStringList({"App_Top", "App_Left", "App_Height", "App_Width", "App_WindowState"}) + kOptionOrder);

        key.log.clear();
        SaveSettings(key, settings, WindowPlacement{});
        QCOMPARE(key.log.first(), QStringLiteral("open-write"));
        QCOMPARE(key.log.last(), QStringLiteral("close"));
        QCOMPARE(NamesOf(key.log, "write "),
                 QStringList({"App_WindowState", "App_Top", "App_Left", "App_Height", "App_Width"}) + kOptionOrder);
    }

    void KeyThatCannotBeOpenedKeepsDefaultsAndWritesNothing()
    {
        RecordingKey key;
        key.opens = false;
        key.values["gDHTWarning"] = 0;
        key.values["App_Top"] = 5;
        AppSettings settings = EveryOptionFlipped();
        WindowPlacement placement{1, 2, 3, 4, StoredWindowState::Maximized};
        LoadSettings(key, settings, placement);
        QVERIFY(SameSettings(settings, AppSettings{}));
        QCOMPARE(placement.top, 164);
        QCOMPARE(placement.left, 216);
        QCOMPARE(placement.height, 483);
        QCOMPARE(placement.width, 692);
        QCOMPARE(placement.state, StoredWindowState::Normal);

        key.log.clear();
        SaveSettings(key, EveryOptionFlipped(), WindowPlacement{});
        QCOMPARE(key.log, QStringList{"open-write"});
    }

    void FirstRunUsesDefaultsAndFirstCloseWritesEveryValue()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pivotta.conf");
        {
            QSettingsKey key(std::make_unique<QSettings>(path, QSettings::IniFormat));
            AppSettings settings = EveryOptionFlipped();
            WindowPlacement placement{1, 2, 3, 4, StoredWindowState::Minimized};
            LoadSettings(key, settings, placement);
            QVERIFY(SameSettings(settings, AppSettings{}));
            QVERIFY(settings.gDHTWarning && settings.gFolderProcessInfo && settings.gSaveResult &&
                    settings.gForceSave && settings.gToolBarSaveButtonIsSaveAs && settings.gAllowAdjustMCU &&
                    settings.gConfirmUnsaved);
            QVERIFY(!settings.gSaveSameFolder && !settings.gViewProportional && settings.gSaveFolder.isEmpty());
            QCOMPARE(placement.state, StoredWindowState::Normal);
            QCOMPARE(placement.left, 216);
            SaveSettings(key, settings, placement);
        }
        QSettings stored(path, QSettings::IniFormat);
        QCOMPARE(stored.allKeys().size(), kOptionOrder.size() + 5);  // and the window placement
        QCOMPARE(stored.value("App_Top").toInt(), 164);
        QCOMPARE(stored.value("App_Left").toInt(), 216);
        QCOMPARE(stored.value("App_Height").toInt(), 483);
        QCOMPARE(stored.value("App_Width").toInt(), 692);
        QCOMPARE(stored.value("App_WindowState").toInt(), 0);
        QCOMPARE(stored.value("gDHTWarning").toString(), QStringLiteral("1"));
        QCOMPARE(stored.value("gSaveSameFolder").toString(), QStringLiteral("0"));
        QCOMPARE(stored.value("gSaveFolder").toString(), QString());
    }

    void EveryValueSurvivesARoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pivotta.conf");
        const AppSettings written = EveryOptionFlipped();
        {
            QSettingsKey key(std::make_unique<QSettings>(path, QSettings::IniFormat));
            SaveSettings(key, written, WindowPlacement{-40, 3000, 111, 222, StoredWindowState::Normal});
        }
        QSettingsKey key(std::make_unique<QSettings>(path, QSettings::IniFormat));
        AppSettings read;
        WindowPlacement placement;
        LoadSettings(key, read, placement);
        QVERIFY(SameSettings(read, written));
        // Positions are not held to any screen; sizes are not checked either.
        QCOMPARE(placement.top, -40);
        QCOMPARE(placement.left, 3000);
        QCOMPARE(placement.height, 111);
        QCOMPARE(placement.width, 222);
    }

    void AnyNonZeroIntegerReadsTrueAndIsWrittenBackAsOne()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pivotta.conf");
        {
            QSettings stored(path, QSettings::IniFormat);
            stored.setValue("gSaveSameFolder", 5);
            stored.setValue("gAllowBreakDCF", -1);
            stored.setValue("gDHTWarning", 0);
        }
        QSettingsKey key(std::make_unique<QSettings>(path, QSettings::IniFormat));
        AppSettings settings;
        WindowPlacement placement;
        LoadSettings(key, settings, placement);
        QVERIFY(settings.gSaveSameFolder);
        QVERIFY(settings.gAllowBreakDCF);
        QVERIFY(!settings.gDHTWarning);
        SaveSettings(key, settings, placement);
        QSettings stored(path, QSettings::IniFormat);
        QCOMPARE(stored.value("gSaveSameFolder").toString(), QStringLiteral("1"));
        QCOMPARE(stored.value("gAllowBreakDCF").toString(), QStringLiteral("1"));
    }

    void ValueOfTheWrongTypeKeepsItsDefaultAndLoadingGoesOn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pivotta.conf");
        {
            QSettings stored(path, QSettings::IniFormat);
            stored.setValue("App_Top", "oben");
            stored.setValue("App_Left", 10);
            stored.setValue("gDHTWarning", "ja");
            stored.setValue("gSaveFolder", QStringList{"a", "b"});
            stored.setValue("gAllowAdjustMCU", 0);
        }
        QSettingsKey key(std::make_unique<QSettings>(path, QSettings::IniFormat));
        AppSettings settings;
        WindowPlacement placement;
        LoadSettings(key, settings, placement);
        QCOMPARE(placement.top, 164);
        QCOMPARE(placement.left, 10);
        QVERIFY(settings.gDHTWarning);
        QVERIFY(settings.gSaveFolder.isEmpty());
        QVERIFY(!settings.gAllowAdjustMCU);
    }

    void TextIsTakenUpToItsFirstNul()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Pivotta.conf");
        {
            QSettings stored(path, QSettings::IniFormat);
            stored.setValue("gSaveFolder", QStringLiteral("/data/結果") + QChar(0) + QStringLiteral("rest"));
        }
        QSettingsKey key(std::make_unique<QSettings>(path, QSettings::IniFormat));
        AppSettings settings;
        WindowPlacement placement;
        LoadSettings(key, settings, placement);
        QCOMPARE(settings.gSaveFolder, QStringLiteral("/data/結果"));
    }

    void WindowStateWithoutMeaningReadsAsNormal()
    {
        RecordingKey key;
        key.values["App_WindowState"] = 7;
        AppSettings settings;
        WindowPlacement placement;
        LoadSettings(key, settings, placement);
        QCOMPARE(placement.state, StoredWindowState::Normal);
        key.values["App_WindowState"] = 1;
        LoadSettings(key, settings, placement);
        QCOMPARE(placement.state, StoredWindowState::Minimized);
    }

    void MaximizedOrMinimizedCloseKeepsTheLastNormalPlacement()
    {
        RecordingKey key;
        key.values["App_Top"] = 10;
        key.values["App_Left"] = 20;
        key.values["App_Height"] = 300;
        key.values["App_Width"] = 400;
        SaveSettings(key, AppSettings{}, WindowPlacement{0, 0, 1080, 1920, StoredWindowState::Maximized});
        QCOMPARE(key.values["App_WindowState"].toInt(), 2);
        QCOMPARE(key.values["App_Top"].toInt(), 10);
        QCOMPARE(key.values["App_Width"].toInt(), 400);
        SaveSettings(key, AppSettings{}, WindowPlacement{0, 0, 1, 1, StoredWindowState::Minimized});
        QCOMPARE(key.values["App_WindowState"].toInt(), 1);
        QCOMPARE(key.values["App_Height"].toInt(), 300);
    }

    // ---- Through the main window ----

    void WindowTakesItsPlacementAndOptionsAtStart()
    {
        MainWindowHarness harness;
        {
            QSettings stored(harness.SettingsPath(), QSettings::IniFormat);
            stored.setValue("App_Top", 50);
            stored.setValue("App_Left", 60);
            stored.setValue("App_Height", 400);
            stored.setValue("App_Width", 500);
            stored.setValue("App_WindowState", 0);
            stored.setValue("gViewProportional", 1);
            stored.setValue("gAllowAdjustMCU", 0);  // a user who chose not to trim keeps that
        }
        harness.Recreate();
        TFm_Main& window = harness.Window();
        QCOMPARE(window.x(), 60);
        QCOMPARE(window.y(), 50);
        QCOMPARE(window.width(), 500);
        QCOMPARE(window.height(), 400);
        QCOMPARE(window.windowState(), Qt::WindowNoState);
        QVERIFY(window.Settings.gViewProportional);
        QVERIFY(!window.Settings.gAllowAdjustMCU);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), QStringLiteral("(AutoSize)"));
    }

    void ClosingTheWindowWritesItsStateAndOptions()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.move(33, 44);
        window.resize(555, 366);
        window.Settings.gSaveFolder = QStringLiteral("/tmp/結果");
        Action(window, "mnu_View50")->trigger();
        Action(window, "mnu_FileExit")->trigger();
        QVERIFY(!window.isVisible());
        QSettings stored(harness.SettingsPath(), QSettings::IniFormat);
        QCOMPARE(stored.allKeys().size(), kOptionOrder.size() + 5);  // and the window placement
        QCOMPARE(stored.value("App_WindowState").toInt(), 0);
        QCOMPARE(stored.value("App_Left").toInt(), window.x());
        QCOMPARE(stored.value("App_Top").toInt(), window.y());
        QCOMPARE(stored.value("App_Width").toInt(), 555);
        QCOMPARE(stored.value("App_Height").toInt(), 366);
        QCOMPARE(stored.value("gSaveFolder").toString(), QStringLiteral("/tmp/結果"));
        QCOMPARE(stored.value("gViewProportional").toInt(), 0);
    }

    void FixedZoomIsNotRememberedButTheFittedViewIs()
    {
        MainWindowHarness harness;
        harness.Window().show();
        Action(harness.Window(), "mnu_View200")->trigger();
        harness.Restart();
        QCOMPARE(Part<StatusPanels>(harness.Window(), "StatusBar")->PanelText(1), QStringLiteral("(100%)"));

        harness.Window().show();
        Action(harness.Window(), "mnu_ViewProportional")->trigger();
        harness.Restart();
        QCOMPARE(Part<StatusPanels>(harness.Window(), "StatusBar")->PanelText(1), QStringLiteral("(AutoSize)"));
        QVERIFY(Action(harness.Window(), "mnu_ViewProportional")->isChecked());
        QVERIFY(!Action(harness.Window(), "mnu_View100")->isChecked());
        QVERIFY(Action(harness.Window(), "smu_Proportional")->isChecked());
    }

    void MaximizedWindowClosesWithoutTouchingTheStoredBounds()
    {
        MainWindowHarness harness;
        {
            QSettings stored(harness.SettingsPath(), QSettings::IniFormat);
            stored.setValue("App_Top", 70);
            stored.setValue("App_Left", 80);
            stored.setValue("App_Height", 390);
            stored.setValue("App_Width", 490);
        }
        harness.Recreate();
        harness.Window().show();
        harness.Window().setWindowState(Qt::WindowMaximized);
        harness.Restart();
        QSettings stored(harness.SettingsPath(), QSettings::IniFormat);
        QCOMPARE(stored.value("App_WindowState").toInt(), 2);
        QCOMPARE(stored.value("App_Top").toInt(), 70);
        QCOMPARE(stored.value("App_Left").toInt(), 80);
        QCOMPARE(stored.value("App_Height").toInt(), 390);
        QCOMPARE(stored.value("App_Width").toInt(), 490);
        // The next start places the window at those bounds, then maximizes it.
        QCOMPARE(harness.Window().width(), 490);
        QVERIFY(harness.Window().windowState() & Qt::WindowMaximized);
    }

    void MinimizedCloseStartsMinimized()
    {
        MainWindowHarness harness;
        harness.Window().show();
        harness.Window().setWindowState(Qt::WindowMinimized);
        harness.Restart();
        QSettings stored(harness.SettingsPath(), QSettings::IniFormat);
        QCOMPARE(stored.value("App_WindowState").toInt(), 1);
        QVERIFY(!stored.contains("App_Top"));  // never closed in the normal state
        QVERIFY(harness.Window().windowState() & Qt::WindowMinimized);
        QCOMPARE(harness.Window().width(), 692);
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
