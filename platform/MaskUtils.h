#pragma once
// The edit-mask engine of the platform's masked edits: a mask such as
// "!99/99/9999;1; " describes which character each position of the edit
// takes, and the engine keeps two texts apart:
//
// - EditText, what the edit shows: every position, literals in place and
//   unfilled positions as the blank character;
// - Text, what the program reads: unfilled positions as spaces, literals
//   kept only when the mask saves them.
//
// Mask syntax (the platform's, not Qt's input mask):
//   0 digit, required          9 digit, optional
//   # digit or + or -, optional
//   L letter, required         l letter, optional
//   A letter or digit, required   a letter or digit, optional
//   C any character, required  c any character, optional
//   >  following characters upper case     <  following characters lower case
//   <> no case conversion      \  the next character is a literal
//   !  optional characters come as leading blanks: a text set by code is
//      fitted from the right
// Any other character is a literal. After the body, ";" starts the
// save-literals field ('0' drops the literals from Text, anything else keeps
// them; kept when missing) and a second ";" the blank character ('_' when
// missing).
//
// Texts are UTF-8; one position holds one character (code point). Masks and
// typed texts come from outside (stored forms, users): nothing here fails on
// any input; a character that does not fit is refused or left blank.

#include <string>
#include <vector>

class TEditMask
{
  public:
    enum TCharKind
    {
        ckLiteral,
        ckDigit,         // 0 and 9
        ckDigitOrSign,   // #
        ckLetter,        // L and l
        ckAlphaNumeric,  // A and a
        ckAny            // C and c
    };
    enum TCase
    {
        caNone,
        caUpper,
        caLower
    };
    struct TPosition
    {
        TCharKind Kind = ckLiteral;
        bool Required = false;
        TCase Case = caNone;
        char32_t Literal = 0; // the character of a literal position
    };

    TEditMask() = default;
    explicit TEditMask(const std::string& Mask);

    // The empty mask: the edit is not masked.
    bool IsMasked() const { return !m_positions.empty(); }
    const std::vector<TPosition>& Positions() const { return m_positions; }
    bool SaveLiterals() const { return m_saveLiterals; }
    char32_t BlankChar() const { return m_blank; }
    bool Reverse() const { return m_reverse; }

    // EditText with nothing entered ("  /  /    " for "!99/99/9999;1; ").
    std::string BlankEditText() const;
    // Text with nothing entered.
    std::string BlankText() const { return TextFromEditText(BlankEditText()); }
    // The Text of an EditText (a malformed EditText is fitted first).
    std::string TextFromEditText(const std::string& EditText) const;
    // A text set by code fitted to the mask: characters are matched to the
    // input positions in order (from the right for a "!" mask); a literal
    // position takes the text's character only when the mask saves literals
    // and it is that literal; a character that does not fit its position,
    // or a blank, leaves the position unfilled.
    std::string EditTextFromText(const std::string& Text) const;
    // Whether EditText has exactly the mask's positions with its literals.
    bool IsWellFormed(const std::string& EditText) const;

    // Typing: the input position at or after Pos (characters), or -1.
    int NextInputPosition(int Pos) const;
    // The input position before Pos, or -1.
    int PreviousInputPosition(int Pos) const;
    // Whether Char fits input position Pos; Out is the character to store
    // (case converted).
    bool Fits(int Pos, char32_t Char, char32_t& Out) const;
    // Types Char at Pos into EditText (well formed): the first input position
    // at or after Pos takes it when it fits. Answers the position after the
    // typed character, or -1 when refused (EditText unchanged). A blank
    // clears the position.
    int TypeChar(std::string& EditText, int Pos, char32_t Char) const;
    // Clears the input positions in [From, To) of EditText to blanks.
    void ClearRange(std::string& EditText, int From, int To) const;
    // Whether every required position of EditText is filled.
    bool RequiredFilled(const std::string& EditText) const;

  private:
    std::vector<TPosition> m_positions;
    bool m_saveLiterals = true;
    bool m_reverse = false;
    char32_t m_blank = U'_';
};

// UTF-8 to code points and back (an invalid byte becomes U+FFFD).
std::u32string Utf8ToCodePoints(const std::string& Text);
std::string CodePointsToUtf8(const std::u32string& Text);
