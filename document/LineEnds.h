#pragma once

#include <string>
#include <string_view>

// The text box knows only LF: a text shown in it comes back with each CR LF and each lone CR
// turned into LF. These keep the document's own line ends across that trip.

// What the text box makes of text: CR LF and lone CR become LF.
std::string BoxLineEnds(std::string_view text);

// The document's text after the box showed shown and now holds boxed. Lines the operator did
// not touch keep their bytes exactly as in shown; new line breaks are CR LF when shown ended
// its lines with CR LF, else LF.
std::string KeepLineEnds(std::string_view shown, std::string_view boxed);
