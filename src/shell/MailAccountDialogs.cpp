// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailAccountDialogs.h"

#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "mail/MailAccountEdit.h"
#include "shell/ColumnFit.h"
#include "shell/DialogWidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kvorn {

namespace {
using widgets::button;
using widgets::checkBox;
using widgets::okCancelRow;

const QString kAccountNameTitle = QStringLiteral("Account Name");

QLineEdit *lineEdit(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    return e;
}

QComboBox *tlsChoice(QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QStringLiteral("cboSecurity"));
    c->addItems(mailTlsChoices());
    c->setToolTip(QStringLiteral("How the connection to the incoming mail server is "
                                 "protected; with STLS or SSL/TLS the server's certificate "
                                 "is checked before the password is sent."));
    return c;
}

} // namespace

QStringList mailTlsChoices()
{
    return {QStringLiteral("None"), QStringLiteral("STLS (STARTTLS)"), QStringLiteral("SSL/TLS")};
}

// --- Account Detail -------------------------------------------------------------------------

void MailAccountFields::show(const MailAccount &a)
{
    nickname->setText(a.AcctName);
    address->setText(a.MailName);
    pop3->setText(a.AcctPOP3);
    smtp->setText(a.AcctSMTP);
    user->setText(a.AcctUser);
    password->setText(a.AcctPass);
    tls->setCurrentIndex(static_cast<int>(a.AcctTLS));
    secure->setChecked(a.AcctSecure);
    defaultCheck->setChecked(a.AcctDefault);
}

MailAccount MailAccountFields::read(MailAccount a) const
{
    a.AcctName = nickname->text();
    a.MailName = address->text();
    a.AcctPOP3 = pop3->text();
    a.AcctSMTP = smtp->text();
    a.AcctUser = user->text();
    a.AcctPass = password->text();
    a.AcctTLS = static_cast<MailTls>(tls->currentIndex());
    a.AcctSecure = secure->isChecked();
    a.AcctDefault = defaultCheck->isChecked();
    return withoutLineBreaks(a);
}

MailAccountDetail::MailAccountDetail(MailAccountsContext context, int row, QWidget *parent)
    : QDialog(parent), m_c(std::move(context)), m_row(row)
{
    setObjectName(QStringLiteral("frmMailAcctDetail"));
    setWindowTitle(QStringLiteral("Account Detail"));
    setModal(true);

    auto *title = new QLabel(QStringLiteral("Mail Account"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *prompt = new QLabel(QStringLiteral("Type the name by which you would like to refer "
                                             "to this account. For example: Work or HotMail."),
                              this);
    prompt->setWordWrap(true);
    m_fields.nickname = lineEdit(this, "txtAcctName");
    m_fields.address = lineEdit(this, "txtMailName");
    m_fields.pop3 = lineEdit(this, "txtPOP3");
    // Made in the order they are shown, which is the order Tab walks them.
    m_fields.tls = tlsChoice(this);
    m_fields.smtp = lineEdit(this, "txtSMTP");
    m_fields.user = lineEdit(this, "txtUser");
    m_fields.password = lineEdit(this, "txtPass");
    m_fields.password->setEchoMode(QLineEdit::Password);
    m_fields.secure = checkBox(QStringLiteral("Use Secure Authentication"), "chkSecure", this);
    m_apop = new QRadioButton(QStringLiteral("APOP"), this);
    m_apop->setObjectName(QStringLiteral("optAPOP"));
    m_msn = new QRadioButton(QStringLiteral("MSN"), this);
    m_msn->setObjectName(QStringLiteral("optMSN"));
    auto *logon = new QButtonGroup(this);
    logon->addButton(m_apop);
    logon->addButton(m_msn);
    m_fields.defaultCheck =
        checkBox(QStringLiteral("Include this account in DEFAULT mail check"), "chkDefault", this);
    const auto followSecure = [this](bool on) {
        m_apop->setEnabled(on);
        m_msn->setEnabled(on);
    };
    connect(m_fields.secure, &QCheckBox::toggled, this, followSecure);

    auto *server = new QGroupBox(QStringLiteral("Server Information"), this);
    auto *serverForm = new QFormLayout(server);
    serverForm->addRow(QStringLiteral("Email Address:"), m_fields.address);
    serverForm->addRow(QStringLiteral("&Incoming Mail (POP3)"), m_fields.pop3);
    serverForm->addRow(QStringLiteral("Connection security:"), m_fields.tls);
    serverForm->addRow(QStringLiteral("&Outgoing Mail (SMTP)"), m_fields.smtp);
    serverForm->addRow(QStringLiteral("&User Name (POP3):"), m_fields.user);
    serverForm->addRow(QStringLiteral("Pass&word (POP3):"), m_fields.password);
    auto *secureRow = new QHBoxLayout;
    secureRow->addWidget(m_fields.secure);
    secureRow->addWidget(m_apop);
    secureRow->addWidget(m_msn);
    secureRow->addStretch();

    QHBoxLayout *buttons = okCancelRow(this, [this] { accept(); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(prompt);
    layout->addWidget(m_fields.nickname);
    layout->addWidget(server);
    layout->addLayout(secureRow);
    layout->addWidget(m_fields.defaultCheck);
    layout->addLayout(buttons);

    if (m_row >= 0 && m_row < mailAccountCount(m_c.settings)) {
        const MailAccount &a = m_c.accounts[std::size_t(m_row)];
        m_fields.show(a);
    } else {
        m_row = -1;
    }
    followSecure(m_fields.secure->isChecked());
}

void MailAccountDetail::accept()
{
    const MailAccount a =
        m_fields.read(m_row >= 0 ? m_c.accounts[std::size_t(m_row)] : MailAccount{});

    QString problem;
    if (a.AcctName.isEmpty())
        problem = QStringLiteral("You must Specify an Account Name");
    else if (a.AcctPOP3.isEmpty())
        problem = QStringLiteral("You must Specify an Incoming Mail Server");
    else if (a.AcctSMTP.isEmpty())
        problem = QStringLiteral("You must Specify an Outgoing Mail Server");
    else
        problem = nicknameProblem(m_c.settings, m_c.accounts, a.AcctName, m_row);
    if (problem.isEmpty() && m_row < 0 && mailAccountCount(m_c.settings) >= kMaxMailAccounts)
        problem = QStringLiteral("No more than %1 accounts can be kept.").arg(kMaxMailAccounts);
    if (!problem.isEmpty()) {
        m_c.prompt.message(problem, Prompt::Buttons::Ok, Prompt::Icon::Critical, kAccountNameTitle);
        return;
    }
    if (m_row >= 0)
        updateMailAccount(m_c.settings, m_c.accounts, m_row, a);
    else
        m_row = addMailAccount(m_c.settings, m_c.accounts, a);
    QDialog::accept();
}

// --- Add Mail Account -----------------------------------------------------------------------

MailAccountWizard::MailAccountWizard(MailAccountsContext context, QWidget *parent)
    : QDialog(parent), m_c(std::move(context))
{
    setObjectName(QStringLiteral("frmMailWizard"));
    setWindowTitle(QStringLiteral("Add Mail Account"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_pages = new QStackedWidget(this);

    const auto page = [this](const QString &title, const QString &text) {
        auto *w = new QWidget(m_pages);
        auto *l = new QVBoxLayout(w);
        auto *t = new QLabel(title, w);
        t->setObjectName(QStringLiteral("lblPageTitle"));
        QFont bold = t->font();
        bold.setBold(true);
        t->setFont(bold);
        l->addWidget(t);
        auto *d = new QLabel(text, w);
        d->setWordWrap(true);
        l->addWidget(d);
        m_pages->addWidget(w);
        return l;
    };

    QVBoxLayout *p0 = page(QStringLiteral("Account Name"),
                           QStringLiteral("This is the name used as reference to this account."));
    m_fields.nickname = lineEdit(this, "txtDisplayName");
    p0->addWidget(new QLabel(QStringLiteral("Display Name:"), this));
    p0->addWidget(m_fields.nickname);
    p0->addWidget(new QLabel(QStringLiteral("For example: Bill (work)"), this));
    p0->addStretch();

    QVBoxLayout *p1 = page(QStringLiteral("Your e-mail Address"),
                           QStringLiteral("Your e-mail Address is the address other people "
                                          "send e-mail messages to you."));
    m_fields.address = lineEdit(this, "txtEmailAddress");
    p1->addWidget(new QLabel(QStringLiteral("E-mail Address:"), this));
    p1->addWidget(m_fields.address);
    p1->addWidget(new QLabel(QStringLiteral("For example: someone@example.com"), this));
    p1->addStretch();

    QVBoxLayout *p2 = page(QStringLiteral("E-mail Servers"), QString());
    m_serverType = new QComboBox(this);
    m_serverType->setObjectName(QStringLiteral("cboServerType"));
    m_serverType->addItems(
        {QStringLiteral("POP3"), QStringLiteral("IMAP"), QStringLiteral("HTTP")});
    // Only POP3 is spoken; the other kinds are shown as the form has them.
    m_serverType->setEnabled(false);
    m_serverType->setToolTip(QStringLiteral("K-Vorn checks POP3 mailboxes."));
    auto *typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel(QStringLiteral("My incoming server is a "), this));
    typeRow->addWidget(m_serverType);
    typeRow->addWidget(new QLabel(QStringLiteral("server."), this));
    typeRow->addStretch();
    p2->addLayout(typeRow);
    m_fields.pop3 = lineEdit(this, "txtIncoming");
    m_fields.tls = tlsChoice(this);
    m_fields.smtp = lineEdit(this, "txtOutgoing");
    p2->addWidget(new QLabel(QStringLiteral("Incoming mail (POP3, IMAP or HTTP) server."), this));
    p2->addWidget(m_fields.pop3);
    p2->addWidget(new QLabel(QStringLiteral("Connection security:"), this));
    p2->addWidget(m_fields.tls);
    p2->addWidget(new QLabel(QStringLiteral("Outgoing mail (SMTP) server. "), this));
    p2->addWidget(m_fields.smtp);
    p2->addStretch();

    QVBoxLayout *p3 = page(QStringLiteral("Mail Logon "),
                           QStringLiteral("Type the account name and password for this mail "
                                          "account."));
    m_fields.user = lineEdit(this, "txtAccountName");
    m_fields.password = lineEdit(this, "txtPassword");
    m_fields.password->setEchoMode(QLineEdit::Password);
    p3->addWidget(new QLabel(QStringLiteral("Account name:"), this));
    p3->addWidget(m_fields.user);
    p3->addWidget(new QLabel(QStringLiteral("Password:"), this));
    p3->addWidget(m_fields.password);
    auto *remember = checkBox(QStringLiteral("Remember Password"), "chkRemember", this);
    // The password is always kept with the account; a box that could say otherwise
    // would mislead.
    remember->setChecked(true);
    remember->setEnabled(false);
    p3->addWidget(remember);
    m_fields.secure = checkBox(QStringLiteral("Log on using  Secure Password Authentication (SPA)"),
                               "chkSPA", this);
    p3->addWidget(m_fields.secure);
    m_fields.defaultCheck =
        checkBox(QStringLiteral("Check this account when checking Defaults"), "chkDefault", this);
    p3->addWidget(m_fields.defaultCheck);
    p3->addStretch();

    QVBoxLayout *p4 = page(QStringLiteral("Congratulations"),
                           QStringLiteral("You have successfully entered all the information "
                                          "required to set up your account"));
    p4->addWidget(new QLabel(QStringLiteral("To Save these settings, Click Finish."), this));
    p4->addStretch();

    m_back = button(QStringLiteral("< Back"), "cmdBack", this);
    m_next = button(QStringLiteral("Next >"), "cmdNext", this);
    m_next->setDefault(true);
    auto *cancel = button(QStringLiteral("Cancel"), "cmdCancel", this);
    connect(m_back, &QPushButton::clicked, this, &MailAccountWizard::back);
    connect(m_next, &QPushButton::clicked, this, &MailAccountWizard::next);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);
    showPage(0);
}

int MailAccountWizard::page() const
{
    return m_pages->currentIndex();
}

void MailAccountWizard::showPage(int page)
{
    m_pages->setCurrentIndex(page);
    m_back->setEnabled(page > 0);
    m_next->setText(page == m_pages->count() - 1 ? QStringLiteral("Finish")
                                                 : QStringLiteral("Next >"));
    QWidget *first[] = {m_fields.nickname, m_fields.address, m_fields.pop3, m_fields.user, nullptr};
    if (QWidget *w = first[page])
        w->setFocus();
}

void MailAccountWizard::next()
{
    if (page() == m_pages->count() - 1) {
        finish();
        return;
    }
    showPage(page() + 1);
}

void MailAccountWizard::back()
{
    if (page() > 0)
        showPage(page() - 1);
}

void MailAccountWizard::finish()
{
    const MailAccount a = m_fields.read({});
    // A nameless account would drop out of the accounts list and pair its server and
    // password with the next name; a repeated or "~" name would share or split a section.
    QString problem = nicknameProblem(m_c.settings, m_c.accounts, a.AcctName, -1);
    if (problem.isEmpty() && mailAccountCount(m_c.settings) >= kMaxMailAccounts)
        problem = QStringLiteral("No more than %1 accounts can be kept.").arg(kMaxMailAccounts);
    if (!problem.isEmpty()) {
        m_c.prompt.message(problem, Prompt::Buttons::Ok, Prompt::Icon::Critical, kAccountNameTitle);
        showPage(0);
        return;
    }
    const int row = addMailAccount(m_c.settings, m_c.accounts, a);
    Q_EMIT accountAdded(row);
    accept();
}

// --- Manage Mail Accounts -------------------------------------------------------------------

MailAccountManager::MailAccountManager(MailAccountsContext context, QWidget *parent)
    : QDialog(parent), m_c(std::move(context))
{
    setObjectName(QStringLiteral("frmMailAddAccount"));
    setWindowTitle(QStringLiteral("Manage Mail Accounts"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lvMail"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHeaderLabels(
        {QStringLiteral("Account Name"), QStringLiteral("Server"), QStringLiteral("Username")});
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { properties(); });

    m_add = button(QStringLiteral("&Add..."), "cmdAdd", this);
    auto *props = button(QStringLiteral("&Properties"), "cmdProperties", this);
    auto *remove = button(QStringLiteral("&Remove"), "cmdRemove", this);
    auto *close = button(QStringLiteral("&Close"), "cmdClose", this);
    connect(m_add, &QPushButton::clicked, this, &MailAccountManager::addAccount);
    connect(props, &QPushButton::clicked, this, &MailAccountManager::properties);
    connect(remove, &QPushButton::clicked, this, &MailAccountManager::removeAccount);
    connect(close, &QPushButton::clicked, this, &MailAccountManager::closeManager);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_add, props, remove})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(520, 300);
    reload();
}

void MailAccountManager::reload()
{
    nameNamelessAccounts(m_c.settings, m_c.accounts);
    for (const QString &name : mailAccountNames(m_c.settings)) {
        if (!m_stored.contains(name))
            m_stored.append(name);
    }
    fillRows();
}

void MailAccountManager::fillRows()
{
    const int keep = selectedRow();
    m_list->clear();
    const int count = mailAccountCount(m_c.settings);
    for (int n = 0; n < count; ++n) {
        const MailAccount &a = m_c.accounts[std::size_t(n)];
        new QTreeWidgetItem(m_list, {a.AcctName, a.AcctPOP3, a.AcctUser});
    }
    if (keep >= 0 && keep < count)
        m_list->setCurrentItem(m_list->topLevelItem(keep));
    fitColumns(*m_list);
    m_add->setEnabled(count < kMaxMailAccounts);
    m_add->setToolTip(
        count < kMaxMailAccounts
            ? QString()
            : QStringLiteral("No more than %1 accounts can be kept.").arg(kMaxMailAccounts));
}

int MailAccountManager::selectedRow() const
{
    const QList<QTreeWidgetItem *> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : m_list->indexOfTopLevelItem(items.first());
}

void MailAccountManager::addAccount()
{
    if (m_wizard) {
        m_wizard->raise();
        m_wizard->activateWindow();
        return;
    }
    m_wizard = new MailAccountWizard(m_c, this);
    connect(m_wizard, &MailAccountWizard::accountAdded, this, [this](int row) {
        fillRows();
        if (QTreeWidgetItem *item = m_list->topLevelItem(row))
            m_list->setCurrentItem(item);
    });
    m_wizard->show();
}

void MailAccountManager::properties()
{
    MailAccountDetail detail(m_c, selectedRow(), this);
    if (detail.exec() == QDialog::Accepted) {
        fillRows();
        if (QTreeWidgetItem *item = m_list->topLevelItem(detail.row()))
            m_list->setCurrentItem(item);
    }
}

void MailAccountManager::removeAccount()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QString name = m_c.accounts[std::size_t(row)].AcctName;
    const Prompt::Answer answer = m_c.prompt.ask(
        QStringLiteral("Are you sure you want to delete %1 email account ?").arg(name),
        Prompt::Buttons::OkCancel, Prompt::Icon::Question, QStringLiteral("Confirm Account Delete"),
        Prompt::Answer::Cancel);
    if (answer != Prompt::Answer::Ok)
        return;
    removeMailAccount(m_c.settings, m_c.accounts, row);
    fillRows();
}

void MailAccountManager::closeManager()
{
    removeDroppedAccountSections(m_c.store, m_stored, m_c.settings, m_c.secrets);
    const QString error = m_c.saveMail ? m_c.saveMail() : QString();
    m_stored = mailAccountNames(m_c.settings);
    if (!error.isEmpty())
        m_c.prompt.message(error, Prompt::Buttons::Ok, Prompt::Icon::Warning,
                           QStringLiteral("K-Vorn"));
    hide();
}

void MailAccountManager::closeEvent(QCloseEvent *event)
{
    // The close box does what "&Close" does: the accounts reach the store either way.
    event->ignore();
    closeManager();
}

void MailAccountManager::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    reload();
}

} // namespace kvorn
