#pragma once
// Ctrl+Alt+S switches the game's own speech on or off in every window of the
// program, the login window included, so that a player with a screen reader
// can turn it off before logging in. A window whose menu holds the command
// itself (the main window) keeps it.

#include <QObject>

class QKeyEvent;

namespace sor {

class SpeechSettings;

class TSpeechSwitchKey : public QObject
{
public:
    TSpeechSwitchKey(SpeechSettings& settings, QObject* parent);
    ~TSpeechSwitchKey() override;

    static bool isSwitchKey(const QKeyEvent* key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SpeechSettings& settings_;
};

}  // namespace sor
