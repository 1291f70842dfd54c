#pragma once
// Stand-ins for the platform that do nothing and keep no history, so that benchmarks
// measure the program and not the bookkeeping of the test fakes.
#include "core/Prompt.h"
#include "platform/SoundPlayer.h"
#include "platform/TrayIcon.h"

namespace kvorn::bench {

class QuietTray final : public TrayIcon
{
public:
    void setPresent(bool present) override { m_present = present; }
    bool isPresent() const override { return m_present; }
    void setPicture(TrayPicture picture) override { m_picture = picture; }
    TrayPicture picture() const override { return m_picture; }
    void setTip(const QString &tip) override { m_tip = tip; }
    QString tip() const override { return m_tip; }

private:
    bool m_present = false;
    TrayPicture m_picture = TrayPicture::Idle;
    QString m_tip;
};

class SilentSound final : public SoundPlayer
{
public:
    void play(const QString &) override {}
};

class QuietPrompt final : public Prompt
{
public:
    Answer message(const QString &, Buttons, Icon, const QString &) override { return Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

} // namespace kvorn::bench
