#pragma once

#include <QString>
#include <functional>
#include <memory>

// A single-shot timer an engine owns: start() (re)arms it, stop() disarms it; its step runs
// on the engine's thread when it fires.
class EngineTimer {
public:
    virtual ~EngineTimer() = default;
    virtual void start(int milliseconds) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Where an engine gets its timers. The programs use QtEngineClock; tests give a clock that
// records what was armed and fires it when the test says. `name` only tells a test which of
// an engine's timers it is.
class EngineClock {
public:
    virtual ~EngineClock() = default;
    virtual std::unique_ptr<EngineTimer> makeTimer(const QString& name,
                                                   std::function<void()> fired) = 0;
};

// QTimer on the thread that makes the timer.
class QtEngineClock final : public EngineClock {
public:
    std::unique_ptr<EngineTimer> makeTimer(const QString& name,
                                           std::function<void()> fired) override;
};
