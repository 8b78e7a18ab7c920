#pragma once

#include <QString>

class Confirmation;

// Renders the control showing this confirmation, without a screen, to a PNG file.
bool saveScreenshot(Confirmation& form, const QString& path, QString& error);
