// Test main for programs that need a QApplication: the GL views and the main window.
// Run them under xvfb-run; a test that finds no usable GL context skips with a reason.
#include <QApplication>
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Numbers in files and printed lines always use the C locale.
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
