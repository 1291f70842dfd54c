// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/PopupAddDialog.h"

#include "core/DateText.h"
#include "platform/Clock.h"
#include "popups/DetectedListModel.h"
#include "popups/PopupAdd.h"
#include "popups/PopupCommands.h"
#include "popups/PopupLists.h"

#include <QButtonGroup>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kvorn {

PopupAddDialog::PopupAddDialog(PopupLists &lists, Prompt &prompt, Clock &clock, QWidget *parent)
    : QDialog(parent), m_lists(lists), m_prompt(prompt), m_clock(clock)
{
    setObjectName(QStringLiteral("frmAddPopUp"));
    setWindowTitle(QStringLiteral("Popup Add"));
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    auto *targets = new QHBoxLayout;
    m_black = new QRadioButton(QStringLiteral("Add to the &Black List"), this);
    m_black->setObjectName(QStringLiteral("optBlack"));
    m_white = new QRadioButton(QStringLiteral("Add to the &White List "), this);
    m_white->setObjectName(QStringLiteral("optWhite"));
    auto *targetGroup = new QButtonGroup(this);
    targetGroup->addButton(m_black);
    targetGroup->addButton(m_white);
    targets->addWidget(m_black);
    targets->addWidget(m_white);
    layout->addLayout(targets);

    auto *sources = new QHBoxLayout;
    sources->addWidget(new QLabel(QStringLiteral("Use:"), this));
    m_title = new QRadioButton(QStringLiteral("Window &Title"), this);
    m_title->setObjectName(QStringLiteral("optTitle"));
    m_address = new QRadioButton(QStringLiteral("Window http:// &Address"), this);
    m_address->setObjectName(QStringLiteral("optAddress"));
    auto *sourceGroup = new QButtonGroup(this);
    sourceGroup->addButton(m_title);
    sourceGroup->addButton(m_address);
    sources->addWidget(m_title);
    sources->addWidget(m_address);
    sources->addStretch(1);
    layout->addLayout(sources);

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("txtPopup"));
    layout->addWidget(m_text);

    layout->addWidget(
        new QLabel(QStringLiteral("Wild Card Suggestions (but definitely not limited to):"), this));
    m_wilds = new QTreeWidget(this);
    m_wilds->setObjectName(QStringLiteral("lvWilds"));
    m_wilds->setHeaderLabels({QStringLiteral("Wilds")});
    m_wilds->setRootIsDecorated(false);
    layout->addWidget(m_wilds, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_add = new QPushButton(QStringLiteral("&Add"), this);
    m_add->setObjectName(QStringLiteral("cmdAdd"));
    m_add->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(m_add);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_title, &QRadioButton::clicked, this, &PopupAddDialog::chooseTitle);
    connect(m_address, &QRadioButton::clicked, this, &PopupAddDialog::chooseAddress);
    connect(m_wilds, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        m_text->setText(item->text(0));
        m_text->setFocus(Qt::OtherFocusReason);
    });
    connect(m_text, &QLineEdit::textChanged, this, &PopupAddDialog::updateButtons);
    connect(m_add, &QPushButton::clicked, this, &PopupAddDialog::add);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // The detected list changes under the open dialog.
    connect(&m_lists.detectedList(), &DetectedListModel::selectionStateChanged, this,
            &PopupAddDialog::updateButtons);
    connect(&m_lists.detectedList(), &QAbstractItemModel::dataChanged, this,
            &PopupAddDialog::updateButtons);

    reset();
    resize(420, 300);
}

QString PopupAddDialog::selectedDetectedTitle(bool *found) const
{
    const DetectedListModel &detected = m_lists.detectedList();
    const int row = detected.currentRow();
    *found = row >= 0 && row < detected.count();
    return *found ? detected.entry(row).text : QString();
}

void PopupAddDialog::reset()
{
    bool found = false;
    const QString title = selectedDetectedTitle(&found);
    m_title->setChecked(true);
    m_black->setChecked(true);
    setEntryText(title);
    // Typing goes into the entry at once, shown or about to be shown.
    m_text->setFocus(Qt::OtherFocusReason);
    if (QScreen *screen = QGuiApplication::screenAt(QCursor::pos())) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void PopupAddDialog::setEntryText(const QString &text)
{
    m_text->setText(text);
    // Typed text replaces the one filled in.
    m_text->selectAll();
    showSuggestions(BuildSuggestions(text, SuggestionMode::Title));
    updateButtons();
}

QString PopupAddDialog::entryText() const
{
    return m_text->text();
}

QStringList PopupAddDialog::suggestions() const
{
    QStringList out;
    for (int i = 0; i < m_wilds->topLevelItemCount(); ++i)
        out.append(m_wilds->topLevelItem(i)->text(0));
    return out;
}

bool PopupAddDialog::addsToBlackList() const
{
    return m_black->isChecked();
}

void PopupAddDialog::chooseBlackList(bool black)
{
    // Exclusive buttons cannot show "neither", so the choice shown is the one used.
    (black ? m_black : m_white)->setChecked(true);
}

void PopupAddDialog::showSuggestions(const QStringList &items)
{
    m_wilds->clear();
    for (const QString &item : items)
        m_wilds->addTopLevelItem(new QTreeWidgetItem(QStringList{item}));
}

void PopupAddDialog::chooseTitle()
{
    m_title->setChecked(true);
    bool found = false;
    const QString title = selectedDetectedTitle(&found);
    // With no selected row (the list changed meanwhile) the text stays as it is.
    if (!found)
        return;
    setEntryText(title);
}

void PopupAddDialog::chooseAddress()
{
    const DetectedListModel &detected = m_lists.detectedList();
    const int row = detected.currentRow();
    // Only a real address: the column's "N/A" is no address to add.
    if (row < 0 || row >= detected.count() || detected.entry(row).address.isEmpty()) {
        m_title->setChecked(true);
        return;
    }
    m_address->setChecked(true);
    const QString address = detected.entry(row).address;
    m_text->setText(address);
    showSuggestions(BuildSuggestions(address, SuggestionMode::Address));
    updateButtons();
}

void PopupAddDialog::updateButtons()
{
    m_add->setEnabled(!PopupCommands::cleanEntryText(m_text->text()).isEmpty());
    const DetectedListModel &detected = m_lists.detectedList();
    const int row = detected.currentRow();
    m_address->setEnabled(row >= 0 && row < detected.count() &&
                          !detected.entry(row).address.isEmpty());
}

void PopupAddDialog::add()
{
    const QString text = PopupCommands::cleanEntryText(m_text->text());
    if (text.isEmpty())
        return;
    addPopupEntry(m_lists, m_prompt, shortDateText(m_clock.now().date()), text,
                  m_black->isChecked() ? AddTarget::Black : AddTarget::White);
    accept();
}

} // namespace kvorn
