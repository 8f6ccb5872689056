#include "core/EngineClock.h"

#include <QTimer>

namespace {

class QtEngineTimer final : public EngineTimer {
public:
    explicit QtEngineTimer(std::function<void()> fired) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [fired = std::move(fired)] { fired(); });
    }
    void start(int milliseconds) override { timer_.start(milliseconds); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace

std::unique_ptr<EngineTimer> QtEngineClock::makeTimer(const QString& name,
                                                      std::function<void()> fired) {
    Q_UNUSED(name);
    return std::make_unique<QtEngineTimer>(std::move(fired));
}
