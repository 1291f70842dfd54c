// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fakes of the platform interfaces: deterministic, inspectable, no desktop needed.

#include "core/FileChooser.h"
#include "core/Prompt.h"
#include "platform/Clock.h"
#include "platform/DesktopShell.h"
#include "platform/KeyboardState.h"
#include "platform/SecretStore.h"
#include "platform/SoundPlayer.h"
#include "platform/TrayIcon.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace kvorn::test {

class FakeTrayIcon final : public TrayIcon
{
    Q_OBJECT

public:
    void setPresent(bool present) override { m_present = present; }
    bool isPresent() const override { return m_present; }
    void setPicture(TrayPicture picture) override
    {
        m_picture = picture;
        pictures.append(picture);
    }
    TrayPicture picture() const override { return m_picture; }
    void setTip(const QString &tip) override { m_tip = tip; }
    QString tip() const override { return m_tip; }
    void showMessage(const QString &title, const QString &text) override
    {
        messages.append(title + QStringLiteral(": ") + text);
    }

    /// Every picture set, in order.
    QList<TrayPicture> pictures;
    /// Every notification shown, as "title: text".
    QStringList messages;

private:
    bool m_present = false;
    TrayPicture m_picture = TrayPicture::Idle;
    QString m_tip;
};

class FakeKeyboard final : public KeyboardState
{
public:
    bool isDown(Key key) const override { return held.contains(int(key)); }
    void press(Key key) { held.insert(int(key)); }
    void release(Key key) { held.remove(int(key)); }
    QSet<int> held;
};

class FakeSoundPlayer final : public SoundPlayer
{
public:
    void play(const QString &filePath) override { played.append(filePath); }
    QStringList played;
};

class FakeClock final : public Clock
{
public:
    QDateTime now() const override { return current; }
    QDateTime current = QDateTime(QDate(2026, 12, 9), QTime(10, 15, 32));
};

class FakeDesktopShell final : public DesktopShell
{
public:
    bool open(const QString &target) override
    {
        opened.append(target);
        return works;
    }
    QStringList opened;
    /// False: no browser on this desktop.
    bool works = true;
};

/// Answers message and input boxes from a script and records what was asked.
class ScriptedPrompt final : public Prompt
{
public:
    Answer message(const QString &text, Buttons buttons, Icon, const QString &title) override
    {
        messages.append(text);
        titles.append(title);
        if (!answers.empty()) {
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes
                                                                            : Answer::Ok;
    }
    Answer ask(const QString &text, Buttons buttons, Icon icon, const QString &title,
               Answer defaultAnswer) override
    {
        const Answer a = message(text, buttons, icon, title);
        defaults.resize(std::size_t(messages.size()));
        defaults.back() = defaultAnswer;
        return a;
    }
    /// The default button each message had; nothing for a message shown without one.
    std::vector<std::optional<Answer>> defaults;
// GCC's -O2 flow analysis takes the moved-from optional<QString> for uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
    std::optional<QString> input(const QString &text, const QString &, const QString &) override
    {
        inputs.append(text);
        if (inputAnswers.empty())
            return std::nullopt;
        std::optional<QString> a = std::move(inputAnswers.front());
        inputAnswers.pop_front();
        return a;
    }
#pragma GCC diagnostic pop

    std::deque<Answer> answers;
    std::deque<std::optional<QString>> inputAnswers;
    QStringList messages;
    QStringList titles;
    QStringList inputs;
};

/// Answers file dialogs from a script (an empty answer is a cancel) and records the titles.
class ScriptedFileChooser final : public FileChooser
{
public:
    QString openFile(const QString &title, const QString &filter) override
    {
        titles.append(title);
        filters.append(filter);
        return next();
    }
    QString saveFile(const QString &title, const QString &filter,
                     const QString &defaultName) override
    {
        titles.append(title);
        filters.append(filter);
        defaultNames.append(defaultName);
        return next();
    }

    std::deque<QString> answers;
    QStringList titles;
    QStringList filters;
    QStringList defaultNames;

private:
    QString next()
    {
        if (answers.empty())
            return {};
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
};

/// A keyring in memory that can be made to stop answering.
class FakeSecretStore final : public SecretStore
{
public:
    Result read(const QString &key, QString *secret) override
    {
        if (!answering)
            return Result::Unavailable;
        const auto it = entries.constFind(key);
        if (it == entries.constEnd())
            return Result::NotFound;
        *secret = *it;
        return Result::Ok;
    }
    Result write(const QString &key, const QString &secret) override
    {
        if (!answering)
            return Result::Unavailable;
        entries.insert(key, secret);
        return Result::Ok;
    }
    Result remove(const QString &key) override
    {
        if (!answering)
            return Result::Unavailable;
        return entries.remove(key) ? Result::Ok : Result::NotFound;
    }

    bool answering = true;
    QHash<QString, QString> entries;
};

} // namespace kvorn::test
