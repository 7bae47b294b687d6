// The main of GUI test executables: an offscreen QApplication set up as the program sets
// itself up (fonts, numeric locale, Qt's Japanese catalogue), then every test.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/common/uitext.h"

int main(int argc, char** argv)
{
    // Tests never need a display; a caller may still pick another platform on purpose.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ui::installFontSubstitutions();
    ui::keepCNumericLocale();
    ui::installJapaneseUi();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
