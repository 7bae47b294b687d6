// The numeric locale of the running program stays "C" whatever the user's locale is.
#include <QProcess>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "model/number.h"
#include "ui/common/uitext.h"

namespace {

// A German locale when one is installed ("de_DE.UTF-8" and friends), else "".
std::string germanLocale()
{
    QProcess p;
    p.start("locale", {"-a"});
    if (!p.waitForFinished(5000))
        return {};
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("de_") && std::setlocale(LC_ALL, line.constData()))
            return line.toStdString();
    }
    return {};
}

} // namespace

TEST(NumericLocale, StaysCUnderAGermanLocale)
{
    const std::string german = germanLocale();
    if (german.empty()) {
        std::setlocale(LC_ALL, "C");
        ui::keepCNumericLocale();
        GTEST_SKIP() << "no German locale installed (locale -a)";
    }
    // What the start-up does after Qt took the environment's locale.
    std::setlocale(LC_ALL, german.c_str());
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", 2.5);
    EXPECT_STREQ(buffer, "2,5"); // the locale is really German here
    ui::keepCNumericLocale();
    std::snprintf(buffer, sizeof buffer, "%6.3lf", 12.5);
    EXPECT_STREQ(buffer, "12.500");
    EXPECT_EQ(formatC("%.1lf", 0.5), "0.5");
    EXPECT_EQ(mxrAtof("1.5"), 1.5);
    std::setlocale(LC_ALL, "C");
}
