// Single-line edit box for one number: filters typed characters, keeps the value in Min..Max.
#pragma once

#include <QLineEdit>

class QFocusEvent;
class QKeyEvent;

class TNumEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool AllowDecimal READ AllowDecimal WRITE setAllowDecimal)
    Q_PROPERTY(bool AllowMinus READ AllowMinus WRITE setAllowMinus)
    Q_PROPERTY(double Number READ Number WRITE setNumber)
    Q_PROPERTY(double Max READ Max WRITE setMax)
    Q_PROPERTY(double Min READ Min WRITE setMin)
    Q_PROPERTY(int KeyPressed READ KeyPressed)

  public:
    explicit TNumEdit(QWidget *parent = nullptr);

    // Parses the text as it stands (after removing its first ",") and keeps the result;
    // neither clamped nor rounded.
    double Number();
    // Keeps x brought into Min..Max, rounded unless AllowDecimal, and shows it.
    void setNumber(double x);

    double Max() const { return m_max; }
    void setMax(double x); // ignored unless x > Min
    double Min() const { return m_min; }
    void setMin(double x); // ignored unless x < Max
    bool AllowDecimal() const { return m_allowDecimal; }
    void setAllowDecimal(bool allow);
    bool AllowMinus() const { return m_allowMinus; }
    void setAllowMinus(bool allow);

    // Code of the last typed character as a signed 8-bit value (128..255 give -128..-1).
    int KeyPressed() const { return m_keyPressed; }

    // Brings the text into Min..Max: an empty text counts as 0. Runs when the box is left
    // and on Enter, Tab and line feed; sender is not used.
    void ValidateNumber(QObject *sender = nullptr);

    // The value written the way the box shows it: at most 15 significant digits, fixed
    // notation from 0.0001 up to 15 integer digits, exponent form ("1E-5", "2.5E15")
    // beyond, with the given decimal separator.
    static QString formatGeneral(double value, QStringView decimalSeparator = u".");
    // The leading decimal number of text (white space, sign, digits, "." fraction,
    // exponent), 0 when there is none; the decimal point is always ".".
    static double parseLeadingNumber(QStringView text);

  protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

  private:
    enum class KeyAction { Pass, Discard, Validate };
    KeyAction filterCharacter(char32_t c);
    void showValue();
    QString shownText() const;
    bool showsOwnDisplay() const;
    double parseText() const;
    static double rounded(double x);

    bool m_allowDecimal = false;
    bool m_allowMinus = false;
    double m_max = 1000;
    double m_min = -1000;
    double m_value = 0;
    int m_keyPressed = 0;
};
