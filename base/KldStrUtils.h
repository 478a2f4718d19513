#pragma once
// Escaping of one field of a delimited text line (the comma-separated log
// line of the controller) and its inverse.

#include <string>

// Makes Text safe as one field of a line separated by Delimiter:
// - a backslash becomes two backslashes;
// - a character below code 32 becomes a backslash and its code as two
//   upper-case hex digits (a line feed becomes \0A, a tab \09);
// - every other byte is copied (UTF-8 sequences pass unchanged).
// When the written result holds Delimiter, the whole result is enclosed in
// Quote with every Quote inside doubled; otherwise Quote characters stay
// single. The test is on the characters written: a backslash or hex-digit
// delimiter that an escape writes quotes the field, and a control-character
// delimiter (written as an escape, never as itself) does not.
std::string EscapeStr(const std::string& Text, char Delimiter, char Quote);

// The inverse of EscapeStr, except for a text that begins with Quote and was
// left unquoted: its leading Quote is read as the start of a quoted field.
// Quoting: when Text begins with Quote, the part up to the next single Quote
// is taken, with doubled Quote characters made single; anything after the
// closing Quote is ignored. When that part is empty (Text is one or two Quote
// characters, or begins with two of them), Text is taken as it is.
// - Unterminated quote: a text that begins with Quote but has no closing one
//   yields everything after the opening Quote (doubled Quotes made single),
//   so nothing of the text is lost.
// Escapes: "\\" gives one backslash; a backslash followed by two hex digits
// (either case) gives that byte; a backslash as the last character is kept.
// - Bad escape: a backslash followed by one character only, or by two
//   characters that are not both hex digits, consumes the backslash and up to
//   two characters and gives one '?', so a damaged escape is visible and never
//   turns into a control character. EscapeStr never writes such a form.
std::string UnEscapeStr(const std::string& Text, char Quote);
