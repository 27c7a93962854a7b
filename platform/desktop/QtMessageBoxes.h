#pragma once

#include "platform/desktop/MessageBoxes.h"

// Answers message boxes with a real dialog: the text, the buttons and icon of the style, the
// default button, and the title; returns the code of the button the user chose.
class QtMessageBoxes : public MessageBoxAnswerer {
public:
    int answer(const MessageBoxRequest& request) override;
};
