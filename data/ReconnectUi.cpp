#include "data/ReconnectUi.h"

#include <QObject>

namespace sor {

namespace {

// Without windows (tools, tests of the logic): an object that stands for the window.
class StandInReconnectUi : public ReconnectUi
{
public:
    QObject* createReconnectWindow() override
    {
        auto* w = new QObject;
        w->setObjectName(QStringLiteral("frProcessReconnect"));
        return w;
    }
    QList<QPointer<QObject>> disableOtherWindows(QObject*) override { return {}; }
    void showReconnectWindow(QObject*) override {}
    void enableWindows(const QList<QPointer<QObject>>&) override {}
    void closeReconnectWindow(QObject* w) override { delete w; }
};

std::unique_ptr<ReconnectUi>& installed()
{
    static std::unique_ptr<ReconnectUi> ui;
    return ui;
}

}  // namespace

void setReconnectUi(std::unique_ptr<ReconnectUi> ui)
{
    installed() = std::move(ui);
}

ReconnectUi& reconnectUi()
{
    static StandInReconnectUi standIn;
    return installed() ? *installed() : standIn;
}

}  // namespace sor
