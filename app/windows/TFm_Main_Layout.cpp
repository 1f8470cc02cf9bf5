// The main window's elements: menus, popup menu, toolbar, view area and bottom strip.
#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "AppResources.h"
#include "AppTexts.h"
#include "PictureView.h"
#include "StatusPanels.h"
#include "TFm_Main.h"
#include "ViewArea.h"

namespace pivotta::app {

namespace {

constexpr int kToolBarHeight = 33;
constexpr int kButtonWidth = 27;
constexpr int kButtonHeight = 26;
constexpr int kIconSize = 20;
constexpr int kBottomStripHeight = 20;
constexpr int kStartInfoPixelSize = 19;

// The toolbar's pictures, in image-list order.
constexpr std::array<const char*, kImageCount> kImageFiles{
    "open", "save", "unturned", "rotate90", "rotate180", "rotate270", "previous", "next", "mirror_lr", "mirror_tb",
    "auto_orient",
};

// The rows' separators: before the mirrors and before auto-orient, in the menu and the toolbar.
bool StartsAGroup(const TransformCommand& command)
{
    return command.autoOrient || command.kind == pivotta::TransformKind::MirrorLR;
}

// "90度回転 (&2)" as a tooltip: without its access key.
QString WithoutAccessKey(QString caption)
{
    const qsizetype open = caption.indexOf(QStringLiteral("(&"));
    if (open >= 0) caption = caption.left(open).trimmed();
    return caption;
}

}  // namespace

void TFm_Main::LoadImageList()
{
    InitAppResources();
    ImageList.clear();
    for (const char* name : kImageFiles) {
        ImageList.emplace_back(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
    }
}

void TFm_Main::Register(QAction* action, const char* name)
{
    action->setObjectName(QString::fromLatin1(name));
    commands_[action->objectName()] = action;
}

QAction* TFm_Main::AddCommand(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    Register(action, name);
    return action;
}

void TFm_Main::BuildMenus()
{
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    setMenuBar(MainMenu);

    mnu_File = MainMenu->addMenu(QStringLiteral("ﾌｧｲﾙ (&F)"));
    mnu_File->setObjectName(QStringLiteral("mnu_File"));
    mnu_FileOpen = AddCommand(mnu_File, "mnu_FileOpen", QStringLiteral("ファイルを開く (&O)"));
    mnu_FileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnu_FileOpen->setIcon(ImageList[kImageOpen]);
    mnu_FolderOpen = AddCommand(mnu_File, "mnu_FolderOpen", QStringLiteral("フォルダを開く"));
    mnu_FileSaveAs = AddCommand(mnu_File, "mnu_FileSaveAs", QStringLiteral("名前を付けて保存 (&A)..."));
    mnu_FileSaveAs->setIcon(ImageList[kImageSave]);
    mnu_FileSave = AddCommand(mnu_File, "mnu_FileSave", QStringLiteral("上書き保存 (&S)"));
    mnu_FileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnu_FileClose = AddCommand(mnu_File, "mnu_FileClose", QStringLiteral("閉じる(&C)"));
    mnu_File->addSeparator();
    for (const RunCommand& command : kRunCommands) {
        QAction* item = AddCommand(mnu_File, command.menuName, QString::fromUtf8(command.caption));
        item->setShortcuts({QKeySequence(command.key), QKeySequence(Qt::CTRL | command.keyWithControl)});
        item->setIcon(ImageList[command.image]);
        connect(item, &QAction::triggered, this, [this, &command] { RunCommandClick(command); });
    }
    mnu_File->addSeparator();
    mnu_FileOption = AddCommand(mnu_File, "mnu_FileOption", QStringLiteral("オプション "));
    mnu_File->addSeparator();
    mnu_FileExit = AddCommand(mnu_File, "mnu_FileExit", QStringLiteral("終了 (&X)"));
    connect(mnu_FileOpen, &QAction::triggered, this, &TFm_Main::mnu_FileOpenClick);
    connect(mnu_FolderOpen, &QAction::triggered, this, &TFm_Main::mnu_FolderOpenClick);
    connect(mnu_FileSaveAs, &QAction::triggered, this, &TFm_Main::mnu_FileSaveAsClick);
    connect(mnu_FileSave, &QAction::triggered, this, &TFm_Main::mnu_FileSaveClick);
    connect(mnu_FileClose, &QAction::triggered, this, &TFm_Main::mnu_FileCloseClick);
    connect(mnu_FileOption, &QAction::triggered, this, &TFm_Main::mnu_FileOptionClick);
    connect(mnu_FileExit, &QAction::triggered, this, &TFm_Main::mnu_FileExitClick);

    mnu_View = MainMenu->addMenu(QStringLiteral("表示 (&V)"));
    mnu_View->setObjectName(QStringLiteral("mnu_View"));

    mnu_Operation = MainMenu->addMenu(QStringLiteral("回転 (&O)"));
    mnu_Operation->setObjectName(QStringLiteral("mnu_Operation"));
    Register(mnu_Operation->menuAction(), "mnu_Operation");
    auto* operationGroup = new QActionGroup(mnu_Operation);
    for (const TransformCommand& command : kTransformCommands) {
        if (StartsAGroup(command)) mnu_Operation->addSeparator();
        QAction* item = AddCommand(mnu_Operation, command.menuName, QString::fromUtf8(command.caption));
        item->setCheckable(true);
        item->setShortcut(QKeySequence(Qt::CTRL | command.key));
        operationGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this, &command] { TransformCommandClick(command); });
    }

    mnu_Help = MainMenu->addMenu(QStringLiteral("ヘルプ (&H)"));
    mnu_Help->setObjectName(QStringLiteral("mnu_Help"));
    mnu_HelpView = AddCommand(mnu_Help, "mnu_HelpView", QStringLiteral("トピックの検索"));
    mnu_Help->addSeparator();
    mnu_HelpAbout = AddCommand(mnu_Help, "mnu_HelpAbout", QStringLiteral("バージョン情報 (&A)"));
    connect(mnu_HelpView, &QAction::triggered, this, &TFm_Main::mnu_HelpViewClick);
    connect(mnu_HelpAbout, &QAction::triggered, this, &TFm_Main::mnu_HelpAboutClick);
}

// The view commands, in the menu bar and in the popup menu alike.
void TFm_Main::BuildViewCommands()
{
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));

    // Two radio groups of their own; every view command checks its item in both.
    auto* menuGroup = new QActionGroup(mnu_View);
    auto* popupGroup = new QActionGroup(PopupMenu);
    for (int i = 0; i < static_cast<int>(kViewCommands.size()); ++i) {
        const ViewCommand& command = kViewCommands[i];
        const QString caption = QString::fromUtf8(command.caption);
        for (auto [menu, group, name] : {std::tuple{mnu_View, menuGroup, command.menuName},
                                         std::tuple{PopupMenu, popupGroup, command.popupName}}) {
            QAction* item = AddCommand(menu, name, caption);
            item->setCheckable(true);
            group->addAction(item);
            connect(item, &QAction::triggered, this, [this, i] { ViewCommandClick(i); });
        }
    }
}

void TFm_Main::BuildToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(kIconSize, kIconSize));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    ToolBar1->addSeparator();
    tbn_FileOpen = AddButton("tbn_FileOpen", kImageOpen, QStringLiteral("ファイルを開く"));
    tbn_FileSave = AddButton("tbn_FileSave", kImageSave, QStringLiteral("保存"));
    connect(tbn_FileOpen, &QAction::triggered, this, &TFm_Main::mnu_FileOpenClick);
    connect(tbn_FileSave, &QAction::triggered, this, &TFm_Main::tbn_FileSaveClick);

    // Exactly one kind's button is down; pressing the one that is down runs its command again.
    auto* buttonGroup = new QActionGroup(ToolBar1);
    for (size_t i = 0; i < kTransformCommands.size(); ++i) {
        const TransformCommand& command = kTransformCommands[i];
        if (i == 0 || StartsAGroup(command)) ToolBar1->addSeparator();
        const QString caption = WithoutAccessKey(QString::fromUtf8(command.caption));
        QAction* button = AddButton(command.buttonName, command.image, caption);
        if (!command.autoOrient) {
            button->setCheckable(true);
            buttonGroup->addAction(button);
        }
        connect(button, &QAction::triggered, this, [this, &command] { TransformCommandClick(command); });
    }

    ToolBar1->addSeparator();
    // Shown only while a run lasts (UpdateActions).
    for (const RunCommand& command : kRunCommands) {
        QAction* button = AddButton(command.buttonName, command.image, QString::fromUtf8(command.caption));
        button->setVisible(false);
        runButtons_.push_back(button);
        connect(button, &QAction::triggered, this, [this, &command] { RunCommandClick(command); });
    }
}

QAction* TFm_Main::AddButton(const char* name, int image, const QString& tip)
{
    QAction* button = ToolBar1->addAction(ImageList[image], tip);
    Register(button, name);
    if (QWidget* widget = ToolBar1->widgetForAction(button)) {
        widget->setObjectName(button->objectName());
        widget->setFixedSize(kButtonWidth, kButtonHeight);
    }
    return button;
}

void TFm_Main::BuildCentralArea()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralArea"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    ScrollBox = new ViewArea(central);
    ScrollBox->setObjectName(QStringLiteral("ScrollBox"));
    Image = new PictureView(previewImage_);
    Image->setObjectName(QStringLiteral("Image"));
    ScrollBox->setWidget(Image);
    lbl_StartInfo = new QLabel(texts::kStartInfo);
    lbl_StartInfo->setObjectName(QStringLiteral("lbl_StartInfo"));
    lbl_StartInfo->setAlignment(Qt::AlignCenter);
    lbl_StartInfo->setWordWrap(true);
    QFont hintFont = lbl_StartInfo->font();
    hintFont.setBold(true);
    hintFont.setPixelSize(kStartInfoPixelSize);
    lbl_StartInfo->setFont(hintFont);
    lbl_StartInfo->setStyleSheet(QStringLiteral("color: grey;"));
    ScrollBox->SetStartInfo(lbl_StartInfo);
    column->addWidget(ScrollBox, 1);

    Panel_Under = new QWidget(central);
    Panel_Under->setObjectName(QStringLiteral("Panel_Under"));
    Panel_Under->setFixedHeight(kBottomStripHeight);
    auto* strip = new QHBoxLayout(Panel_Under);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(0);
    // Both fill the strip; only one is visible at a time.
    ProgressBar = new QProgressBar(Panel_Under);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    StatusBar = new StatusPanels(Panel_Under);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    strip->addWidget(ProgressBar);
    strip->addWidget(StatusBar);
    column->addWidget(Panel_Under);
    setCentralWidget(central);

    connect(StatusBar, &StatusPanels::Resized, this, &TFm_Main::StatusBarResize);
    connect(ScrollBox, &ViewArea::WheelTowardUser, this, &TFm_Main::ScrollBoxMouseWheelDown);
    connect(ScrollBox, &ViewArea::WheelAwayFromUser, this, &TFm_Main::ScrollBoxMouseWheelUp);
    connect(ScrollBox, &ViewArea::PopupRequested, this, [this](const QPoint& at) { PopupMenu->popup(at); });
    connect(ScrollBox, &ViewArea::ViewportResized, this, [this] {
        if (Settings.gViewProportional) Image->resize(ScrollBox->viewport()->size());
    });
    connect(Image, &PictureView::DecodeFailed, this, [this](const QString& error) {
        // Reported after the paint that met it, never from inside it.
        QMetaObject::invokeMethod(this, [this, error] { ReportError(error); }, Qt::QueuedConnection);
    });
}

}  // namespace pivotta::app
