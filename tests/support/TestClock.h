#pragma once

#include "core/EngineClock.h"

#include <QList>
#include <QPair>
#include <QTimer>
#include <algorithm>

// The engines' clock in tests. It records every start of a timer by the timer's name, and
// runs the timers for real with their delays shortened, or, when manual, only when the test
// fires one: then nothing moves unless the test says so.
class TestClock final : public EngineClock {
public:
    double scale = 0.05; // the real delays are shortened by this
    bool manual = false;
    QList<QPair<QString, int>> starts; // name, milliseconds asked for

    int startsOf(const QString& name) const {
        return int(std::count_if(starts.cbegin(), starts.cend(),
                                 [&](const auto& start) { return start.first == name; }));
    }
    bool armed(const QString& name) const {
        return std::any_of(timers_.cbegin(), timers_.cend(),
                           [&](const Timer* t) { return t->name == name && t->isActive(); });
    }
    // Runs the armed timer of that name (a manual clock's); false when none is armed.
    bool fire(const QString& name) {
        for (Timer* timer : timers_) {
            if (timer->name == name && timer->isActive()) {
                timer->stop();
                timer->fired();
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<EngineTimer> makeTimer(const QString& name,
                                           std::function<void()> fired) override {
        return std::make_unique<Timer>(*this, name, std::move(fired));
    }

private:
    struct Timer final : EngineTimer {
        TestClock& clock;
        QString name;
        std::function<void()> fired;
        QTimer real;
        bool armedByHand = false;

        Timer(TestClock& c, const QString& n, std::function<void()> f)
            : clock(c), name(n), fired(std::move(f)) {
            real.setSingleShot(true);
            QObject::connect(&real, &QTimer::timeout, [this] { fired(); });
            clock.timers_.append(this);
        }
        ~Timer() override { clock.timers_.removeAll(this); }
        void start(int ms) override {
            clock.starts.append({name, ms});
            if (clock.manual)
                armedByHand = true;
            else
                real.start(int(ms * clock.scale));
        }
        void stop() override {
            armedByHand = false;
            real.stop();
        }
        bool isActive() const override { return armedByHand || real.isActive(); }
    };

    QList<Timer*> timers_;
};
