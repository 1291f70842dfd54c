// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailOptionsDialogs.h"

#include "core/Prompt.h"
#include "mail/MailCheck.h"
#include "mail/MailLists.h"
#include "shell/DialogWidgets.h"
#include "shell/MailListsWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace kvorn {

namespace {
using widgets::checkBox;
using widgets::okCancelRow;
using widgets::button;

QSpinBox *dayBox(const char *name, QWidget *parent)
{
    auto *b = new QSpinBox(parent);
    b->setObjectName(QLatin1String(name));
    // The stored count is a 16-bit number.
    b->setRange(1, 32767);
    return b;
}

} // namespace

// --- number box -----------------------------------------------------------------------------

ClampedNumberBox::ClampedNumberBox(int minimum, int maximum, QWidget *parent)
    : QWidget(parent), m_min(minimum), m_max(maximum)
{
    m_edit = new QLineEdit(this);
    m_edit->setMaximumWidth(60);
    auto *up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    up->setObjectName(QStringLiteral("up"));
    auto *down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    down->setObjectName(QStringLiteral("down"));
    connect(up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    connect(m_edit, &QLineEdit::textChanged, this, &ClampedNumberBox::clampText);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(up);
    layout->addWidget(down);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setValue(minimum);
}

int ClampedNumberBox::value() const
{
    return m_edit->text().toInt();
}

void ClampedNumberBox::setValue(int value)
{
    m_edit->setText(QString::number(value));
}

void ClampedNumberBox::stepBy(int steps)
{
    setValue(value() + steps);
}

void ClampedNumberBox::clampText()
{
    bool ok = false;
    const qlonglong v = m_edit->text().trimmed().toLongLong(&ok);
    const qlonglong clamped = std::clamp<qlonglong>(ok ? v : 0, m_min, m_max);
    const QString text = QString::number(clamped);
    if (text != m_edit->text())
        m_edit->setText(text);
}

std::optional<std::int32_t> serverTimeoutFromText(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    double seconds = QLocale::c().toDouble(t, &ok);
    if (!ok)
        seconds = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(seconds))
        return std::nullopt;
    const double ms = std::round(seconds * 1000.0);
    return static_cast<std::int32_t>(std::clamp(ms, 1000.0, 64000.0));
}

// --- Mail Options ---------------------------------------------------------------------------

MailOptionsDialog::MailOptionsDialog(MailSettings &settings, MailCheck &check, MailLists &lists,
                                     Prompt &prompt, std::function<QString()> saveMail,
                                     QWidget *parent)
    : QDialog(parent), m_settings(settings), m_check(check), m_prompt(prompt),
      m_save(std::move(saveMail))
{
    setObjectName(QStringLiteral("frmMailOptions"));
    setWindowTitle(QStringLiteral("Mail Options"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));

    m_lists = new MailListsWindow(lists, prompt, this);
    m_lists->setEmbedded();
    connect(m_lists, &MailListsWindow::optionsRequested, this,
            &MailOptionsDialog::openBnFOptions);

    const struct
    {
        QWidget *panel;
        const char *caption;
        const char *key;
        const char *tip;
    } tabs[] = {
        {makeGeneral(), "General", "tsMailgeneral", "Set General Options"},
        {m_lists, "Blacklist And Friends", "tsMailBlacklist",
         "Modify Blacklist and Friends lists"},
        {makeFilters(), "Filters", "tsMailFIlters", "Set Options for Group 3"},
    };
    for (const auto &t : tabs) {
        t.panel->setProperty("tabKey", QString::fromLatin1(t.key));
        const int i = m_tabs->addTab(t.panel, QString::fromLatin1(t.caption));
        m_tabs->setTabToolTip(i, QString::fromLatin1(t.tip));
    }

    QHBoxLayout *buttons = okCancelRow(this, [this] { accept(); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    resize(600, 560);
    loadGeneral();
}

QWidget *MailOptionsDialog::makeGeneral()
{
    auto *panel = new QWidget(this);
    m_launch = checkBox(QStringLiteral("&Launch Email after processing"), "chkLaunchEmail", panel);
    m_sound = checkBox(QStringLiteral("&Play sound with new Email"), "chkSoundNewMail", panel);
    m_onStart = checkBox(QStringLiteral("Default Mail Check on startup"), "chkDefaultOnStart", panel);
    m_timerOn = checkBox(QStringLiteral("Mail Check every "), "chkTimerOn", panel);
    m_minutes = new ClampedNumberBox(1, 200, panel);
    m_minutes->setObjectName(QStringLiteral("txtTimerCount"));
    m_forward = checkBox(QStringLiteral("Forward all deleted mail to:"), "chkForward", panel);
    m_forwardTo = new QLineEdit(panel);
    m_forwardTo->setObjectName(QStringLiteral("txtForwardAccount"));
    m_autoDelete = checkBox(QStringLiteral("Auto Delete Before Mail Check"), "chkAutoDelete", panel);
    m_timeout = new QLineEdit(panel);
    m_timeout->setObjectName(QStringLiteral("txtServerTO"));
    m_timeout->setMaximumWidth(60);

    auto *timerRow = new QHBoxLayout;
    timerRow->addWidget(m_timerOn);
    timerRow->addWidget(m_minutes);
    timerRow->addWidget(new QLabel(QStringLiteral("Minutes"), panel));
    timerRow->addStretch();
    auto *forwardRow = new QHBoxLayout;
    forwardRow->addWidget(m_forward);
    forwardRow->addWidget(m_forwardTo, 1);
    auto *timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(new QLabel(QStringLiteral("Mail Server timeout"), panel));
    timeoutRow->addWidget(m_timeout);
    timeoutRow->addWidget(new QLabel(QStringLiteral("Seconds"), panel));
    timeoutRow->addStretch();

    auto *strength = new QGroupBox(QStringLiteral("Detection Strength"), panel);
    strength->setObjectName(QStringLiteral("fraDetection"));
    m_strength = new QButtonGroup(this);
    auto *strengthLayout = new QVBoxLayout(strength);
    const struct
    {
        const char *caption;
        const char *name;
        const char *text;
    } strengths[] = {
        {"&None", "optNone", "Will not try to detect SPAM"},
        {"&Careful", "optCareful",
         "Only mark messages which strongly resemble SPAM for  delete and bounce."},
        {"&Strong", "optStrong", "Mark ALL messages resembling SPAM for delete and bounce."},
    };
    int id = 0;
    for (const auto &s : strengths) {
        auto *b = new QRadioButton(QString::fromLatin1(s.caption), strength);
        b->setObjectName(QLatin1String(s.name));
        m_strength->addButton(b, id++);
        auto *row = new QHBoxLayout;
        row->addWidget(b);
        auto *text = new QLabel(QString::fromLatin1(s.text), strength);
        text->setWordWrap(true);
        row->addWidget(text, 1);
        strengthLayout->addLayout(row);
    }

    // Kept from the form, but the columns are neither reordered nor hidden yet.
    auto *columns = new QGroupBox(QStringLiteral("Column Order"), panel);
    columns->setEnabled(false);
    auto *columnList = new QTreeWidget(columns);
    columnList->setHeaderLabels({QStringLiteral("Column Name"), QStringLiteral("Visible")});
    columnList->setRootIsDecorated(false);
    columnList->setMaximumHeight(80);
    (new QVBoxLayout(columns))->addWidget(columnList);

    auto *layout = new QVBoxLayout(panel);
    for (QWidget *w : {static_cast<QWidget *>(m_launch), static_cast<QWidget *>(m_sound),
                       static_cast<QWidget *>(m_onStart)})
        layout->addWidget(w);
    layout->addLayout(timerRow);
    layout->addLayout(forwardRow);
    layout->addWidget(m_autoDelete);
    layout->addLayout(timeoutRow);
    layout->addWidget(strength);
    layout->addWidget(columns);
    layout->addStretch();
    return panel;
}

QWidget *MailOptionsDialog::makeFilters()
{
    auto *panel = new QWidget(this);
    auto *list = new QTreeWidget(panel);
    list->setObjectName(QStringLiteral("lvFilters"));
    list->setHeaderLabels({QStringLiteral("Filters")});
    list->setRootIsDecorated(false);
    auto *description = new QPlainTextEdit(panel);
    description->setObjectName(QStringLiteral("txtFilterDescription"));
    description->setReadOnly(true);
    description->setMaximumHeight(80);
    auto *note = new QLabel(QStringLiteral("Filters are not applied in this version."), panel);
    note->setObjectName(QStringLiteral("lblFiltersNote"));
    auto *add = button(QStringLiteral("&Add"), "cmdFilterAdd", panel);
    auto *modify = button(QStringLiteral("&Modify"), "cmdFilterModify", panel);
    auto *remove = button(QStringLiteral("&Delete"), "cmdFilterDelete", panel);
    connect(add, &QPushButton::clicked, this, &MailOptionsDialog::openFilterEditor);
    connect(modify, &QPushButton::clicked, this, &MailOptionsDialog::openFilterEditor);
    connect(remove, &QPushButton::clicked, this, &MailOptionsDialog::deleteFilter);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(modify);
    buttons->addWidget(remove);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(list, 1);
    layout->addWidget(new QLabel(QStringLiteral("Filter Description"), panel));
    layout->addWidget(description);
    layout->addLayout(buttons);
    layout->addWidget(note);
    return panel;
}

void MailOptionsDialog::loadGeneral()
{
    const MailSettings &s = m_settings;
    m_launch->setChecked(s.LaunchEmail);
    m_sound->setChecked(s.SoundNewMail);
    m_onStart->setChecked(s.DefaultOnStart);
    m_timerOn->setChecked(s.TimerOn);
    m_minutes->setValue(s.TimerCount);
    m_forward->setChecked(s.Forward);
    m_forwardTo->setText(s.ForwardAccount);
    m_autoDelete->setChecked(s.AutoDelete);
    m_timeout->setText(QLocale::c().toString(s.ServerTO / 1000.0, 'g', 6));
    if (QAbstractButton *b = m_strength->button(s.DetectStrength))
        b->setChecked(true);
}

void MailOptionsDialog::showAutoDelete(bool on)
{
    m_autoDelete->setChecked(on);
}

void MailOptionsDialog::showTab(int tab)
{
    // Whatever a cancelled visit left in the boxes, they show the stored options again.
    if (!isVisible())
        loadGeneral();
    if (tab >= 0 && tab < m_tabs->count())
        m_tabs->setCurrentIndex(tab);
    show();
    raise();
    activateWindow();
}

void MailOptionsDialog::accept()
{
    MailSettings &s = m_settings;
    s.LaunchEmail = m_launch->isChecked();
    s.SoundNewMail = m_sound->isChecked();
    s.DefaultOnStart = m_onStart->isChecked();
    s.TimerOn = m_timerOn->isChecked();
    s.TimerCount = static_cast<std::int16_t>(m_minutes->value());
    s.Forward = m_forward->isChecked();
    s.ForwardAccount = m_forwardTo->text();
    s.AutoDelete = m_autoDelete->isChecked();
    if (const auto ms = serverTimeoutFromText(m_timeout->text()))
        s.ServerTO = *ms;
    if (m_strength->checkedId() >= 0)
        s.DetectStrength = static_cast<std::int16_t>(m_strength->checkedId());
    // The periodic timer counts minutes; the server time-out is another matter.
    if (s.TimerOn)
        m_check.startPeriodicTimerIfOn();
    hide();
    const QString error = m_save ? m_save() : QString();
    if (!error.isEmpty())
        m_prompt.message(error, Prompt::Buttons::Ok, Prompt::Icon::Warning,
                         QStringLiteral("K-Vorn"));
}

void MailOptionsDialog::reject()
{
    hide();
}

void MailOptionsDialog::deleteFilter()
{
    m_prompt.ask(QStringLiteral("Are you sure you want to delete this filter ?"),
                 Prompt::Buttons::YesNo, Prompt::Icon::Critical, QStringLiteral("Delete Filter"),
                 Prompt::Answer::No);
}

void MailOptionsDialog::openBnFOptions()
{
    auto *dialog = new MailBnFOptionsDialog(m_settings, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &MailBnFOptionsDialog::autoDeleteApplied, this,
            &MailOptionsDialog::showAutoDelete);
    dialog->show();
}

void MailOptionsDialog::openFilterEditor()
{
    auto *editor = new MailFilterEditor(this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();
}

// --- BlackList & Friends Options ------------------------------------------------------------

MailBnFOptionsDialog::MailBnFOptionsDialog(MailSettings &settings, QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("frmMailOptionsBnF"));
    setWindowTitle(QStringLiteral("BlackList & Friends Options"));
    auto *tabs = new QTabWidget(this);

    auto *black = new QWidget(tabs);
    m_expireBl = checkBox(QStringLiteral("Expire unused items from list after "),
                          "chkExpireBlackList", black);
    m_blDays = dayBox("txtExpireBLCount", black);
    m_bounceBl = checkBox(QStringLiteral("Mark Blacklisted messages for Bouncing"),
                          "chkBounceBlacklist", black);
    m_autoBounce = checkBox(QStringLiteral("Bounce Auto-Delete messages"), "chkAutoBounce", black);
    m_autoDelete = checkBox(QStringLiteral("Auto-Delete Blacklist items"), "chkAutoDelete", black);
    auto *blRow = new QHBoxLayout;
    blRow->addWidget(m_expireBl);
    blRow->addWidget(m_blDays);
    blRow->addWidget(new QLabel(QStringLiteral("Days"), black));
    blRow->addStretch();
    auto *blLayout = new QVBoxLayout(black);
    blLayout->addLayout(blRow);
    blLayout->addWidget(m_bounceBl);
    blLayout->addWidget(m_autoBounce);
    blLayout->addWidget(m_autoDelete);
    blLayout->addStretch();

    auto *friends = new QWidget(tabs);
    m_hideFriend = checkBox(QStringLiteral("Hide emails received from Friends"), "chkHideFriend",
                            friends);
    m_expireFr = checkBox(QStringLiteral("Expire unused items from list after "),
                          "chkExpireFriends", friends);
    m_frDays = dayBox("txtExpireFriendCount", friends);
    auto *frRow = new QHBoxLayout;
    frRow->addWidget(m_expireFr);
    frRow->addWidget(m_frDays);
    frRow->addWidget(new QLabel(QStringLiteral("Days"), friends));
    frRow->addStretch();
    auto *frLayout = new QVBoxLayout(friends);
    frLayout->addWidget(m_hideFriend);
    frLayout->addLayout(frRow);
    frLayout->addStretch();

    tabs->setTabToolTip(tabs->addTab(black, QStringLiteral("Blacklist")),
                        QStringLiteral("Set Options for Group 1"));
    tabs->setTabToolTip(tabs->addTab(friends, QStringLiteral("Friends")),
                        QStringLiteral("Set Options for Group 2"));

    auto *ok = button(QStringLiteral("OK"), "cmdOK", this);
    ok->setDefault(true);
    auto *cancel = button(QStringLiteral("Cancel"), "cmdCancel", this);
    auto *applyButton = button(QStringLiteral("Apply"), "cmdApply", this);
    connect(ok, &QPushButton::clicked, this, &MailBnFOptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, &MailBnFOptionsDialog::apply);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(applyButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    m_expireBl->setChecked(settings.ExpireBlackList);
    m_blDays->setValue(settings.ExpireBLCount);
    m_bounceBl->setChecked(settings.BounceBlacklist);
    m_autoBounce->setChecked(settings.AutoBounce);
    m_autoDelete->setChecked(settings.AutoDelete);
    m_hideFriend->setChecked(settings.HideFriend);
    m_expireFr->setChecked(settings.ExpireFriends);
    m_frDays->setValue(settings.ExpireFriendCount);
    // A day count means something only while its expire box is ticked.
    m_blDays->setEnabled(m_expireBl->isChecked());
    m_frDays->setEnabled(m_expireFr->isChecked());
    connect(m_expireBl, &QCheckBox::toggled, m_blDays, &QWidget::setEnabled);
    connect(m_expireFr, &QCheckBox::toggled, m_frDays, &QWidget::setEnabled);
}

void MailBnFOptionsDialog::apply()
{
    MailSettings &s = m_settings;
    s.ExpireBlackList = m_expireBl->isChecked();
    s.ExpireBLCount = static_cast<std::int16_t>(m_blDays->value());
    s.BounceBlacklist = m_bounceBl->isChecked();
    s.AutoBounce = m_autoBounce->isChecked();
    s.AutoDelete = m_autoDelete->isChecked();
    s.HideFriend = m_hideFriend->isChecked();
    s.ExpireFriends = m_expireFr->isChecked();
    s.ExpireFriendCount = static_cast<std::int16_t>(m_frDays->value());
    Q_EMIT autoDeleteApplied(s.AutoDelete);
}

void MailBnFOptionsDialog::accept()
{
    apply();
    QDialog::accept();
}

// --- Edit Filter ----------------------------------------------------------------------------

MailFilterEditor::MailFilterEditor(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMailEditFilter"));
    setWindowTitle(QStringLiteral("Edit Filter"));
    auto *name = new QLineEdit(this);
    name->setObjectName(QStringLiteral("txtFilterName"));
    auto *status = new QLineEdit(this);
    status->setObjectName(QStringLiteral("txtStatusDescription"));
    auto *priority = new QGroupBox(QStringLiteral("Priority"), this);
    (new QVBoxLayout(priority))
        ->addWidget(checkBox(QStringLiteral("Apply before Friends List"), "chkPriority", priority));
    auto *action = new QGroupBox(QStringLiteral("Action"), this);
    auto *actionLayout = new QVBoxLayout(action);
    for (const char *caption : {"Mail is Legitimate", "Do not display Email in list",
                                "Add to Blacklist", "Mark for Deletion", "Mark for bounce",
                                "Do not Autoforward"})
        actionLayout->addWidget(new QCheckBox(QString::fromLatin1(caption), action));
    auto *when = new QGroupBox(QStringLiteral("Apply this filter when "), this);
    auto *whenLayout = new QVBoxLayout(when);
    auto *all = new QRadioButton(QStringLiteral("ALL of the rules are satisfied (and)"), when);
    all->setChecked(true);
    whenLayout->addWidget(all);
    whenLayout->addWidget(
        new QRadioButton(QStringLiteral("ANY of the rules are satisfied (or)"), when));
    auto *rules = new QGroupBox(QStringLiteral("Rules"), this);
    auto *part = new QComboBox(rules);
    part->setObjectName(QStringLiteral("cboRulePart"));
    part->addItems({QStringLiteral("the 'Subject' field"), QStringLiteral("the 'From' field"),
                    QStringLiteral("the 'To' field"), QStringLiteral("the 'CC' field"),
                    QStringLiteral("the body"), QStringLiteral("the return path"),
                    QStringLiteral("the entire Header")});
    auto *test = new QComboBox(rules);
    test->setObjectName(QStringLiteral("cboRuleTest"));
    test->addItems({QStringLiteral("contains"), QStringLiteral("does not contain"),
                    QStringLiteral("is")});
    auto *rulesLayout = new QHBoxLayout(rules);
    rulesLayout->addWidget(part);
    rulesLayout->addWidget(test);
    rulesLayout->addWidget(new QLineEdit(rules), 1);

    auto *ok = button(QStringLiteral("&OK"), "cmdOK", this);
    auto *cancel = button(QStringLiteral("&Cancel"), "cmdCancel", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Filter Name"), this));
    layout->addWidget(name);
    layout->addWidget(new QLabel(QStringLiteral("Status Description"), this));
    layout->addWidget(status);
    layout->addWidget(priority);
    layout->addWidget(action);
    layout->addWidget(when);
    layout->addWidget(rules);
    layout->addWidget(new QLabel(QStringLiteral("Filters are not applied in this version."), this));
    layout->addLayout(buttons);
}

} // namespace kvorn
