#pragma once

#include "mediaplayer.h"

#include <QStringList>

#include <memory>

// Records what a window asks of its player ("start <location>", "stop",
// "destroyed"); the test plays the media side by emitting the player's
// signals.
class FakePlayer : public MediaPlayer
{
public:
    explicit FakePlayer(std::shared_ptr<QStringList> log) : m_log(std::move(log)) {}
    ~FakePlayer() override { *m_log << "destroyed"; }
    bool start(const MediaSource &source) override
    {
        *m_log << "start " + source.location;
        return !refuse;
    }
    void stop() override { *m_log << "stop"; }
    bool refuse = false;

private:
    std::shared_ptr<QStringList> m_log;
};
