#pragma once
// The program's message boxes on screen: the notifier's texts (code page) as Qt message
// boxes with the buttons and icon the caller asked for.
#include "platform/notifier.h"

class CScreenNotifier : public platform::INotifier {
public:
    int Ask(const std::string& text, const std::string& caption, unsigned type) override;
};
