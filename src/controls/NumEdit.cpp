// Single-line edit box for one number: filters typed characters, keeps the value in Min..Max.
#include "controls/NumEdit.h"

#include "platform/ErrorSink.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace {

constexpr char32_t kBackspace = 8;
constexpr char32_t kTab = 9;
constexpr char32_t kLineFeed = 10;
constexpr char32_t kReturn = 13;
constexpr char32_t kEscape = 27;

// The character a key press types, as the box's filter sees it; none for keys that only
// move the caret or edit (arrows, Home, Delete, ...), which the line edit handles itself.
// Ctrl with a letter or with one of [ \ ] ^ _ types its control character (Ctrl+V is 22,
// Ctrl+\ is 28), as a console would.
std::optional<char32_t> typedCharacter(const QKeyEvent *event)
{
    const int key = event->key();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Backspace:
        return ctrl ? 127 : kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ctrl ? kLineFeed : kReturn;
    case Qt::Key_Escape:
        return kEscape;
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    if (ctrl) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return char32_t(key - Qt::Key_A + 1);
        if (key >= Qt::Key_BracketLeft && key <= Qt::Key_Underscore)
            return char32_t(key - Qt::Key_At);
        return std::nullopt;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return std::nullopt;
    return text.toUcs4().constFirst();
}

// The code a character has in an 8-bit code page, read as signed: 128..255 give -128..-1.
// Characters beyond Latin-1 have no such code and count as "?".
int signedByteCode(char32_t c)
{
    if (c > 0xFF)
        return '?';
    return static_cast<signed char>(static_cast<unsigned char>(c));
}

QString decimalSeparator()
{
    return QLocale().decimalPoint();
}

} // namespace

TNumEdit::TNumEdit(QWidget *parent) : QLineEdit(parent)
{
    // Every character has to pass the key filter, so none may arrive through an input method.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

QString TNumEdit::formatGeneral(double value, QStringView separator)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // 15 significant digits: "-d.dddddddddddddde+XX".
    std::array<char, 40> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::scientific, 14);
    const std::string scientific(buffer.data(), result.ptr);
    const bool negative = scientific.front() == '-';
    const size_t ePos = scientific.find('e');
    std::string digits;
    for (size_t i = negative ? 1 : 0; i < ePos; ++i)
        if (scientific[i] != '.')
            digits += scientific[i];
    const int exponent = std::stoi(scientific.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    QString out = negative ? QStringLiteral("-") : QString();
    if (exponent >= -4 && exponent <= 14) {
        std::string whole, fraction;
        if (exponent >= 0) {
            const size_t wholeDigits = size_t(exponent) + 1;
            whole = digits.substr(0, wholeDigits);
            whole.resize(wholeDigits, '0');
            if (digits.size() > wholeDigits)
                fraction = digits.substr(wholeDigits);
        } else {
            whole = "0";
            fraction = std::string(size_t(-exponent - 1), '0') + digits;
        }
        out += QString::fromLatin1(whole);
        if (!fraction.empty())
            out += separator.toString() + QString::fromLatin1(fraction);
    } else {
        out += QChar::fromLatin1(digits.front());
        if (digits.size() > 1)
            out += separator.toString() + QString::fromLatin1(digits.substr(1));
        out += u'E' + QString::number(exponent);
    }
    return out;
}

double TNumEdit::parseLeadingNumber(QStringView text)
{
    qsizetype i = 0;
    const auto at = [&](qsizetype k) { return k < text.size() ? text.at(k).unicode() : 0; };
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    while (at(i) == u' ' || (at(i) >= u'\t' && at(i) <= u'\r'))
        ++i;
    bool negative = false;
    if (at(i) == u'+' || at(i) == u'-')
        negative = at(i++) == u'-';

    // The mantissa, and where its first significant digit stands relative to the point.
    std::string number;
    int integerDigits = 0; // significant digits before the point
    int fractionZeros = 0; // zeros after the point before the first significant digit
    bool significant = false;
    bool anyDigit = false;
    for (; isDigit(at(i)); ++i) {
        anyDigit = true;
        significant = significant || at(i) != u'0';
        integerDigits += significant ? 1 : 0;
        number += char(at(i));
    }
    if (at(i) == u'.') {
        number += '.';
        for (++i; isDigit(at(i)); ++i) {
            anyDigit = true;
            if (!significant && at(i) == u'0')
                ++fractionZeros;
            significant = significant || at(i) != u'0';
            number += char(at(i));
        }
    }
    if (!anyDigit)
        return 0;

    long exponent = 0;
    if (at(i) == u'e' || at(i) == u'E') {
        qsizetype k = i + 1;
        const bool expNegative = at(k) == u'-';
        if (at(k) == u'+' || at(k) == u'-')
            ++k;
        if (isDigit(at(k))) {
            for (; isDigit(at(k)); ++k)
                exponent = std::min(exponent * 10 + (at(k) - u'0'), 100000L);
            if (expNegative)
                exponent = -exponent;
            number += 'e' + std::to_string(exponent);
        }
    }

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Like atof: too large gives infinity, too small gives 0.
        const long magnitude = (integerDigits > 0 ? integerDigits : -fractionZeros) + exponent;
        value = significant && magnitude > 0 ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

double TNumEdit::rounded(double x)
{
    // To the nearest whole number, halves upward (2.5 gives 3, -2.5 gives -2). Whole
    // numbers, negative ones included, stay as they are.
    const double below = std::floor(x);
    return x - below >= 0.5 ? below + 1 : below;
}

QString TNumEdit::shownText() const
{
    return formatGeneral(m_value, decimalSeparator());
}

bool TNumEdit::showsOwnDisplay() const
{
    // Where the user's decimal separator is not ".", the box's own display of a fraction
    // ("12,5") still has to read back as the value it shows.
    return decimalSeparator() != u"." && text() == shownText();
}

double TNumEdit::parseText() const
{
    if (showsOwnDisplay())
        return parseLeadingNumber(QString(text()).replace(decimalSeparator(), QStringLiteral(".")));
    return parseLeadingNumber(text());
}

void TNumEdit::showValue()
{
    const QString shown = shownText();
    if (shown != text())
        setText(shown);
}

double TNumEdit::Number()
{
    if (!showsOwnDisplay()) {
        // A pasted "1,000" reads as 1000; only the first "," goes.
        QString current = text();
        const qsizetype comma = current.indexOf(u',');
        if (comma >= 0) {
            current.remove(comma, 1);
            setText(current);
        }
    }
    m_value = parseText();
    return m_value;
}

void TNumEdit::setNumber(double x)
{
    m_value = std::isnan(x) ? 0 : x;
    if (m_value > m_max)
        m_value = m_max;
    if (m_value < m_min)
        m_value = m_min;
    if (!m_allowDecimal)
        m_value = rounded(m_value);
    showValue();
}

void TNumEdit::setMax(double x)
{
    if (x > m_min)
        m_max = x;
    if (m_value > m_max)
        m_value = m_max;
    showValue();
}

void TNumEdit::setMin(double x)
{
    if (x < m_max)
        m_min = x;
    if (m_value < m_min)
        m_value = m_min;
    showValue();
}

void TNumEdit::setAllowDecimal(bool allow)
{
    m_allowDecimal = allow;
    if (!allow)
        m_value = rounded(m_value);
    showValue();
}

void TNumEdit::setAllowMinus(bool allow)
{
    m_allowMinus = allow;
    if (!allow && m_value < 0)
        m_value = -m_value;
    showValue();
}

void TNumEdit::ValidateNumber(QObject * /*sender*/)
{
    m_value = text().isEmpty() ? 0 : parseText();
    if (m_value < m_min)
        m_value = m_min;
    if (m_value > m_max)
        m_value = m_max;
    showValue();
}

TNumEdit::KeyAction TNumEdit::filterCharacter(char32_t c)
{
    m_keyPressed = signedByteCode(c);

    const QString current = text();
    const bool selection = hasSelectedText();
    const int selectionFrom = selection ? selectionStart() : cursorPosition();
    // Nothing may be typed in front of a leading minus sign.
    if (!current.isEmpty() && !selection && selectionFrom == 0 && current.front() == u'-')
        return KeyAction::Discard;

    if (c >= U'0' && c <= U'9')
        return KeyAction::Pass;
    switch (c) {
    case kBackspace:
        return KeyAction::Pass;
    case kTab:
    case kLineFeed:
    case kReturn:
        return KeyAction::Validate;
    case U'-':
        return m_allowMinus && (current.isEmpty() || selectionFrom == 0) ? KeyAction::Pass
                                                                         : KeyAction::Discard;
    case U'.':
        if (!m_allowDecimal)
            return KeyAction::Discard;
        if (current.isEmpty())
            return KeyAction::Pass;
        return current.contains(u'.') ? KeyAction::Discard : KeyAction::Pass;
    default:
        return KeyAction::Discard;
    }
}

bool TNumEdit::event(QEvent *event)
{
    // Tab moves the focus before a widget sees it as a key press; the box still records it
    // (leaving the box then validates it).
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            m_keyPressed = kTab;
    }
    return QLineEdit::event(event);
}

void TNumEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & Qt::AltModifier) {
        // Alt combinations type nothing; they belong to the window (mnemonics).
        event->ignore();
        return;
    }
    const std::optional<char32_t> c = typedCharacter(event);
    if (!c) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    platform::guarded([&] {
        switch (filterCharacter(*c)) {
        case KeyAction::Pass:
            // Ctrl+H is the Backspace character and deletes as Backspace does.
            if (*c == kBackspace && event->key() != Qt::Key_Backspace)
                backspace();
            else
                QLineEdit::keyPressEvent(event);
            break;
        case KeyAction::Discard:
            // Escape types nothing, but stays the window's, which may close a dialog with it.
            if (*c == kEscape)
                event->ignore();
            break;
        case KeyAction::Validate:
            ValidateNumber();
            // The character goes on as a Tab: the focus moves to the next control.
            focusNextChild();
            break;
        }
    });
}

void TNumEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Opening a context menu or switching to another window does not leave the box.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    platform::guarded([&] { ValidateNumber(this); });
}
