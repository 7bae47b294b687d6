// Text at the UI edge: CP932 ↔ QString, the application title, the font faces of the
// report and the numeric locale of the running program.
#pragma once

#include <QLocale>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace ui {

// "マクセラテスタ": the main window's title and the caption of message boxes.
QString appTitle();

// CP932 bytes for display (invalid bytes become U+FFFD).
QString toQ(std::string_view cp932);
// Text entered in the UI as CP932; nothing when some character has no CP932 form.
std::optional<std::string> fromQ(const QString& text);

// The face names the report and lists ask for.
QString gothicFace();  // "ＭＳ ゴシック"
QString pGothicFace(); // "ＭＳ Ｐゴシック"

// Maps the two gothic faces to the IPA fonts with the same metrics. Call once after the
// QGuiApplication exists.
void installFontSubstitutions();

// printf-style formats and atof must read '.' as the decimal point: Qt sets the locale from
// the environment when the application object is built, so numbers go back to "C".
void keepCNumericLocale();

// The Japanese face of Qt's own dialogs: loads Qt's Japanese catalogue (qtbase_ja) from Qt's
// translations folder and makes Japanese the default QLocale for date pickers and calendars,
// with numbers in the C form (no group separators, none accepted). Call once after the
// application object exists and before any window is built. Returns whether the catalogue
// was found; without it the program's own texts are still Japanese.
bool installJapaneseUi();

// The locale of date pickers and calendars: Japanese, numbers without group separators.
QLocale japaneseLocale();

} // namespace ui
