#pragma once

class QApplication;

// The one QApplication of a test program, made on first use (window tests need it; they run
// with QT_QPA_PLATFORM=offscreen).
QApplication& TestApplication();
