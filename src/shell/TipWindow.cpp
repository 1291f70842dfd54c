// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/TipWindow.h"

#include "core/Options.h"
#include "core/ProgramSettings.h"
#include "core/SettingsStore.h"
#include "core/TextFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStyle>
#include <QVBoxLayout>

namespace kvorn {

namespace {
const QString kShowTipsKey = QStringLiteral("Show Tips at Startup");
const QString kTipsFile = QStringLiteral("TIPOFDAY.TXT");

QString missingFileText(const QString &folder)
{
    // The tips are read from the program's data folder, not from beside the program.
    return QStringLiteral("That the ") + kTipsFile + QStringLiteral(" file was not found? ") +
           QStringLiteral("\r\n\r\n") + QStringLiteral("Create a text file named ") + kTipsFile +
           QStringLiteral(" using a text editor with 1 tip per line. ") +
           QStringLiteral("Then place it in the folder %1 ").arg(QDir::toNativeSeparators(folder));
}
} // namespace

TipWindow::TipWindow(SettingsStore &store, Options &options, QString programFolder,
                     QRandomGenerator *random, QWidget *parent)
    : QDialog(parent), m_store(store), m_options(options),
      m_programFolder(std::move(programFolder)),
      m_random(random ? random : QRandomGenerator::global())
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgTip"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("dialog-information"));
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    picture->setPixmap(icon.pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    auto *heading = new QLabel(QStringLiteral("Did you know..."), this);
    heading->setObjectName(QStringLiteral("lblHeading"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_tip = new QLabel(this);
    m_tip->setObjectName(QStringLiteral("lblTipText"));
    m_tip->setWordWrap(true);
    m_tip->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_tip->setMinimumSize(320, 100);

    m_showAtStartup = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    m_showAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    m_showAtStartup->setChecked(
        m_store.read(kOptionsSection, kShowTipsKey, QStringLiteral("1")).trimmed() !=
        QLatin1String("0"));
    connect(m_showAtStartup, &QCheckBox::clicked, this, &TipWindow::checkBoxClicked);

    auto *next = new QPushButton(QStringLiteral("&Next Tip"), this);
    next->setObjectName(QStringLiteral("cmdNextTip"));
    connect(next, &QPushButton::clicked, this, &TipWindow::nextTip);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TipWindow::okClicked);

    auto *text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(m_tip, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_showAtStartup);
    buttons->addStretch();
    buttons->addWidget(next);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    // A tip shows however the start-up choice stands: whoever opens the window wants one.
    loadTips();
}

TipWindow *TipWindow::open(SettingsStore &store, Options &options, const QString &programFolder,
                           QRandomGenerator *random)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<TipWindow *>(w)) {
            window->loadTips();
            window->show();
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    // No parent: at start-up the main window is hidden in the tray.
    auto *window = new TipWindow(store, options, programFolder, random);
    window->show();
    return window;
}

bool TipWindow::wantedAtStartup(const SettingsStore &store, const Options &options)
{
    return options.TipofDay &&
           store.read(kOptionsSection, kShowTipsKey, QStringLiteral("1")).trimmed() !=
               QLatin1String("0");
}

QString TipWindow::tipText() const
{
    return m_tip->text();
}

void TipWindow::loadTips()
{
    m_tips.clear();
    if (const auto lines = readLines(m_programFolder + QLatin1Char('/') + kTipsFile)) {
        for (const QString &line : *lines) {
            // A blank line is no tip.
            if (!line.trimmed().isEmpty())
                m_tips.append(line.trimmed());
        }
    }
    if (m_tips.isEmpty()) {
        m_tip->setText(missingFileText(m_programFolder));
        return;
    }
    nextTip();
}

void TipWindow::nextTip()
{
    if (m_tips.isEmpty())
        return;
    m_tip->setText(m_tips.at(int(m_random->bounded(quint32(m_tips.size())))));
}

void TipWindow::checkBoxClicked(bool checked)
{
    m_store.write(kOptionsSection, kShowTipsKey, checked ? QStringLiteral("1") : QStringLiteral("0"));
    m_store.save();
}

void TipWindow::okClicked()
{
    m_options.TipofDay = m_showAtStartup->isChecked();
    close();
}

} // namespace kvorn
