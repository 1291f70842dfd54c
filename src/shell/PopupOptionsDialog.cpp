// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/PopupOptionsDialog.h"

#include "core/Prompt.h"
#include "core/RegistryFunctions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdlib>

namespace kvorn {

namespace {

enum Page { General, ListMgmt, LookFeel, Detection };

struct CheckDef
{
    Page page;
    const char *key;
    const char *caption;
    const char *tip;
    bool Options::*field;
};

// In the order the pages show them.
const CheckDef kChecks[] = {
    {General, "StartWithWindows", "Start with the desktop session",
     "K-Vorn starts automatically every time you log in to the desktop.",
     &Options::StartWithWindows},
    {General, "JumpHome", "Home Page on Last Window Close",
     "Opens home page when K-Vorn closes all the opened windows.", &Options::JumpHome},
    {General, "BannerBlock", "Disable Banner Blocking",
     "This will disable the banner blocking feature.", &Options::BannerBlock},
    {General, "UseCustomIETitle", "Custom Browser Title", "", &Options::UseCustomIETitle},
    {General, "UseAutoUpdate", "Allow Automatic Updates every ", "", &Options::UseAutoUpdate},
    {General, "StoreLog", "Keep a log file", "", &Options::StoreLog},
    {General, "UploadLog", "Upload log file when updating", "", &Options::UploadLog},
    {ListMgmt, "HideExempt", "Hide Whitelist Items in Monitor", "", &Options::HideExempt},
    {ListMgmt, "BLDelete", "Disable Blacklist Deletes",
     "Used with Password feature can be used for content blocking.", &Options::BLDelete},
    {ListMgmt, "HotAddKey", "Use Hot Key Add (Ctrl+Shift+X)", "", &Options::HotAddKey},
    {ListMgmt, "DisableWildcards", "Disable Wildcards in Black List",
     "Turns off Wildcards in Popup Blacklist", &Options::DisableWildcards},
    {ListMgmt, "HotAddFast", "Use Blacklist Quick Add ", "", &Options::HotAddFast},
    {ListMgmt, "HotAddWild", "Attempt Wildcard add", "Will use a wildcard option if available",
     &Options::HotAddWild},
    {LookFeel, "Flash", "Flash Tray Icon", "When Enabled, K-Vorn icon will flash after a kill.",
     &Options::Flash},
    {LookFeel, "ShowInTray", "Show Tray Icon",
     "Check to display the K-Vorn icon on the system tray.", &Options::ShowInTray},
    {LookFeel, "ScrambleText", "Scramble Popups Text",
     "Some popups may contain offensive language, This option will scramble the text in the "
     "blacklist .",
     &Options::ScrambleText},
    {LookFeel, "Sound", "Enable Sound Effects", "Play a sound on every kill", &Options::Sound},
    {LookFeel, "KillNotify", "Notify on Every Kill",
     "Shows a desktop notification for each closed popup and deleted message, at most one "
     "a second.",
     &Options::KillNotify},
    {LookFeel, "AutoColumn", "Auto Adjust column to maximum text width", "", &Options::AutoColumn},
    {LookFeel, "DisHotKey", "Disable Force Open Key (Ctrl)",
     "This will disable Force Open mode when pressing the CTRL key.", &Options::DisHotKey},
    {LookFeel, "OptDwsp", "Password required for Exit, disable and Option Changes",
     "This can be used for content blocking ", &Options::OptDwsp},
    {Detection, "BList", "Use List Blocking", "", &Options::BList},
    {Detection, "BlockAll", "Block ALL popup windows (not suggested)", "", &Options::BlockAll},
    {Detection, "BallEx", "Use Exempt List in Block ALL", "", &Options::BallEx},
    {Detection, "WinLmtMode", "Limit Simultaneous Browser Windows",
     "Maximum number of browser windows to be opened at the same time. ", &Options::WinLmtMode},
    {Detection, "ReadBrowserAddresses", "Read browser addresses",
     "Reads the address of the page each browser window shows, so that address entries "
     "work. It only reads.",
     &Options::ReadBrowserAddresses},
};

// Browsers show their addresses to other programs only with their accessibility on; the
// program never switches the desktop's accessibility on by itself.
const char kAddressHelp[] =
    "Browsers show the address of their page only with their accessibility on. Chromium: "
    "start it with ACCESSIBILITY_ENABLED=1 set, or switch the desktop's accessibility on, "
    "and restart Chromium after the change. Firefox: start it with GNOME_ACCESSIBILITY=1 "
    "set, or switch the desktop's accessibility on. Otherwise the address shows \"N/A\".";

const QString kBrowserKey = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");
constexpr int kMinDays = 1, kMaxDays = 365, kMinWindows = 1, kMaxWindows = 99;

} // namespace

PopupOptionsDialog::PopupOptionsDialog(Options &options, Prompt &prompt,
                                       const RegistryFunctions &registry, QWidget *parent)
    : QDialog(parent), m_options(options), m_prompt(prompt), m_registry(registry),
      m_opened(options)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("K-Vorn Popup Options"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    // A fixed size that still fits this desktop's fonts.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tsOptions"));
    layout->addWidget(m_tabs);
    const char *pageKeys[] = {"tsGeneral", "tsListMgmt", "tsLookFeel", "tsDetection"};
    const char *pageCaptions[] = {"General", "List Mgmt", "Look && Feel", "Detection"};
    QVBoxLayout *pages[4];
    for (int i = 0; i < 4; ++i) {
        auto *page = new QWidget(m_tabs);
        page->setObjectName(QString::fromLatin1(pageKeys[i]));
        pages[i] = new QVBoxLayout(page);
        m_tabs->addTab(page, QString::fromLatin1(pageCaptions[i]));
    }

    const auto check = [this, &pages](const CheckDef &def) {
        auto *box = new QCheckBox(QString::fromLatin1(def.caption));
        box->setObjectName(QStringLiteral("chk") + QString::fromLatin1(def.key));
        if (*def.tip)
            box->setToolTip(QString::fromLatin1(def.tip));
        m_checks.insert(QString::fromLatin1(def.key), box);
        pages[def.page]->addWidget(box);
        return box;
    };
    const auto indent = [](QWidget *w) {
        auto *row = new QHBoxLayout;
        row->addSpacing(20);
        row->addWidget(w, 1);
        return row;
    };

    for (const CheckDef &def : kChecks) {
        check(def);
        const QString key = QString::fromLatin1(def.key);
        if (key == QLatin1String("JumpHome")) {
            m_homePage = new QLineEdit;
            m_homePage->setObjectName(QStringLiteral("txtHomePage"));
            pages[General]->addLayout(indent(m_homePage));
        } else if (key == QLatin1String("UseCustomIETitle")) {
            m_customTitle = new QLineEdit;
            m_customTitle->setObjectName(QStringLiteral("txtCustomIETitle"));
            pages[General]->addLayout(indent(m_customTitle));
        } else if (key == QLatin1String("UseAutoUpdate")) {
            auto *row = new QHBoxLayout;
            row->addSpacing(20);
            m_days = new QSpinBox;
            m_days->setObjectName(QStringLiteral("txtAUDays"));
            m_days->setRange(kMinDays, kMaxDays);
            row->addWidget(m_days);
            row->addWidget(new QLabel(QStringLiteral("Days")));
            row->addStretch(1);
            pages[General]->addLayout(row);
        } else if (key == QLatin1String("HotAddFast")) {
            m_addAddress = new QRadioButton(QStringLiteral("Add HTTP Address"));
            m_addAddress->setObjectName(QStringLiteral("optHotAddAddress"));
            m_addAddress->setToolTip(QStringLiteral("Use the window Address for Quick Add"));
            m_addTitle = new QRadioButton(QStringLiteral("Add using window Title"));
            m_addTitle->setObjectName(QStringLiteral("optHotAddTitle"));
            m_addTitle->setToolTip(QStringLiteral("Use the window Title for the Quick Add"));
            auto *group = new QButtonGroup(this);
            group->addButton(m_addAddress);
            group->addButton(m_addTitle);
            pages[ListMgmt]->addLayout(indent(m_addAddress));
            pages[ListMgmt]->addLayout(indent(m_addTitle));
        } else if (key == QLatin1String("OptDwsp")) {
            auto *row = new QHBoxLayout;
            row->addSpacing(20);
            row->addWidget(new QLabel(QStringLiteral("Password:")));
            m_password = new QLineEdit;
            m_password->setObjectName(QStringLiteral("txtPassword"));
            m_password->setEchoMode(QLineEdit::Password);
            m_password->setToolTip(QStringLiteral("Nothing asks for this password yet."));
            row->addWidget(m_password, 1);
            pages[LookFeel]->addLayout(row);
        } else if (key == QLatin1String("BList")) {
            m_speed = new QSlider(Qt::Horizontal);
            m_speed->setObjectName(QStringLiteral("sldBSpeed"));
            m_speed->setRange(0, 10);
            pages[Detection]->addLayout(indent(m_speed));
        } else if (key == QLatin1String("WinLmtMode")) {
            m_windows = new QSpinBox;
            m_windows->setObjectName(QStringLiteral("txtWinLmtWindows"));
            m_windows->setRange(kMinWindows, kMaxWindows);
            pages[Detection]->addLayout(indent(m_windows));
        } else if (key == QLatin1String("ReadBrowserAddresses")) {
            auto *help = new QLabel(QString::fromLatin1(kAddressHelp));
            help->setObjectName(QStringLiteral("lblAddressHelp"));
            help->setTextFormat(Qt::PlainText);
            help->setWordWrap(true);
            help->setMinimumWidth(360);
            pages[Detection]->addLayout(indent(help));
        }
    }
    m_listSafeMode = new QCheckBox(QStringLiteral("Safe Mode"));
    m_listSafeMode->setObjectName(QStringLiteral("chkListSafeMode"));
    pages[ListMgmt]->addWidget(m_listSafeMode);
    m_customSpeed = new QCheckBox(QStringLiteral("Custom Detect Speed"));
    m_customSpeed->setObjectName(QStringLiteral("chkCustomSpeed"));
    pages[Detection]->addWidget(m_customSpeed);
    m_customSlider = new QSlider(Qt::Horizontal);
    m_customSlider->setObjectName(QStringLiteral("sldCustomSpeed"));
    m_customSlider->setRange(0, 10);
    m_customSlider->setToolTip(QStringLiteral("K-Vorn will use more CPU time for faster detection. "));
    pages[Detection]->addLayout(indent(m_customSlider));
    auto *speedLabel = new QLabel(QStringLiteral("Faster          Slower"));
    speedLabel->setTextFormat(Qt::PlainText);
    pages[Detection]->addLayout(indent(speedLabel));
    m_detectSafeMode = new QCheckBox(QStringLiteral("Safe Mode"));
    m_detectSafeMode->setObjectName(QStringLiteral("chkDetectSafeMode"));
    pages[Detection]->addLayout(indent(m_detectSafeMode));
    for (QVBoxLayout *page : pages)
        page->addStretch(1);

    auto *buttons = new QHBoxLayout;
    const auto button = [this, buttons](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    // "Help" has nothing to show.
    button("cmdHelp", "Help")->setEnabled(false);
    buttons->addStretch(1);
    connect(button("cmdDefault", "Default"), &QPushButton::clicked, this,
            &PopupOptionsDialog::defaultTitle);
    connect(button("cmdCancel", "Cancel"), &QPushButton::clicked, this,
            &PopupOptionsDialog::reject);
    connect(button("cmdApply", "Apply"), &QPushButton::clicked, this, &PopupOptionsDialog::apply);
    m_keysOff = new QLabel(this);
    m_keysOff->setObjectName(QStringLiteral("lblKeysOff"));
    m_keysOff->setWordWrap(true);
    m_keysOff->hide();
    layout->addWidget(m_keysOff);
    layout->addLayout(buttons);

    for (const char *master : {"JumpHome", "UseCustomIETitle", "StoreLog", "HotAddFast",
                               "ShowInTray", "OptDwsp", "BlockAll", "WinLmtMode", "BList"})
        connect(m_checks.value(QString::fromLatin1(master)), &QCheckBox::toggled, this,
                &PopupOptionsDialog::applyRules);
    connect(m_customSpeed, &QCheckBox::toggled, this, &PopupOptionsDialog::applyRules);

    load();
}

void PopupOptionsDialog::load()
{
    for (const CheckDef &def : kChecks)
        m_checks.value(QString::fromLatin1(def.key))->setChecked(m_options.*def.field);
    m_homePage->setText(m_options.HomePage);
    m_customTitle->setText(m_options.CustomIETitle);
    m_days->setValue(std::abs(m_options.AUDays.trimmed().toInt()));
    (m_options.HotAddTitle ? m_addAddress : m_addTitle)->setChecked(true);
    m_speed->setValue(m_options.BSpeed);
    m_windows->setValue(m_options.WinLmtWindows);
    m_password->setText(QStringLiteral("**********"));
    applyRules();
    m_tabs->setCurrentIndex(General);
}

void PopupOptionsDialog::setKeysUnavailable(const QString &reason)
{
    m_keysOff->setText(reason);
    m_keysOff->setVisible(!reason.isEmpty());
    applyRules();
}

void PopupOptionsDialog::applyRules()
{
    const auto on = [this](const char *key) {
        return m_checks.value(QString::fromLatin1(key))->isChecked();
    };
    const auto follow = [this](const char *key, bool enabled) {
        m_checks.value(QString::fromLatin1(key))->setEnabled(enabled);
    };
    m_homePage->setEnabled(on("JumpHome"));
    m_customTitle->setEnabled(on("UseCustomIETitle"));
    follow("UploadLog", on("StoreLog"));
    m_addAddress->setEnabled(on("HotAddFast"));
    m_addTitle->setEnabled(on("HotAddFast"));
    follow("HotAddWild", on("HotAddFast"));
    follow("Flash", on("ShowInTray"));
    m_password->setEnabled(on("OptDwsp"));
    follow("BallEx", on("BlockAll"));
    m_windows->setEnabled(on("WinLmtMode"));
    m_customSlider->setEnabled(m_customSpeed->isChecked());
    m_detectSafeMode->setEnabled(m_customSpeed->isChecked());
    // Their values are still kept, for a session where the keys can be read.
    const bool keysRead = m_keysOff->text().isEmpty();
    follow("HotAddKey", keysRead);
    follow("DisHotKey", keysRead);
}

void PopupOptionsDialog::copyEdited(const Options &from, Options &to)
{
    for (const CheckDef &def : kChecks)
        to.*def.field = from.*def.field;
    to.HomePage = from.HomePage;
    to.CustomIETitle = from.CustomIETitle;
    to.AUDays = from.AUDays;
    to.HotAddTitle = from.HotAddTitle;
    to.BSpeed = from.BSpeed;
    to.WinLmtWindows = from.WinLmtWindows;
}

void PopupOptionsDialog::apply()
{
    for (const CheckDef &def : kChecks)
        m_options.*def.field = m_checks.value(QString::fromLatin1(def.key))->isChecked();
    m_options.HomePage = m_homePage->text();
    m_options.CustomIETitle = m_customTitle->text();
    m_options.AUDays = QString::number(m_days->value());
    m_options.HotAddTitle = m_addAddress->isChecked();
    m_options.BSpeed = std::int16_t(m_speed->value());
    m_options.WinLmtWindows = std::int16_t(m_windows->value());
    if (m_options.UseCustomIETitle && m_options.CustomIETitle.isEmpty()) {
        m_options.UseCustomIETitle = false;
        m_prompt.message(QStringLiteral("The \"Custom Browser Title\" field cannot be "
                                        "left empty"),
                         Prompt::Buttons::Ok, Prompt::Icon::Information,
                         QStringLiteral("Invalid Parameters"));
        return;
    }
    m_options.accepted = true;
    accept();
}

void PopupOptionsDialog::defaultTitle()
{
    const QString title =
        m_registry.ReadRegistryValue(RegistryRoot::CurrentUser, kBrowserKey,
                                     QStringLiteral("Window Title"))
            .toString();
    // No browser here has a title of its own to fall back on: without a stored one the
    // field is emptied rather than filled with a browser that does not exist here.
    m_customTitle->setText(title);
    m_customTitle->setFocus(Qt::OtherFocusReason);
}

void PopupOptionsDialog::reject()
{
    // Also after a failed "Apply", which has copied the values already: the kill counters
    // and other fields the dialog does not edit keep what happened meanwhile.
    copyEdited(m_opened, m_options);
    m_options.accepted = false;
    QDialog::reject();
}

} // namespace kvorn
