// Up-down arrows bound to an edit box: each step rewrites the box's text as a whole number.
#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE setMin)
    Q_PROPERTY(int Max READ Max WRITE setMax)
    Q_PROPERTY(int Position READ Position WRITE setPosition)
    Q_PROPERTY(bool Wrap READ Wrap WRITE setWrap)
    Q_PROPERTY(bool ArrowKeys READ ArrowKeys WRITE setArrowKeys)
    Q_PROPERTY(bool Thousands READ Thousands WRITE setThousands)

  public:
    explicit TUpDown(QWidget *parent = nullptr);

    // Binds the arrows to edit (nullptr unbinds): writes Position into its text now; from
    // then on the Up and Down keys in the edit step too, while ArrowKeys is on.
    void setAssociate(QLineEdit *edit);
    QLineEdit *Associate() const { return m_associate; }

    int Min() const { return m_min; }
    void setMin(int min);
    int Max() const { return m_max; }
    void setMax(int max);
    int Position() const { return m_position; }
    // Brought into Min..Max; a bound edit shows the new position.
    void setPosition(int position);
    bool Wrap() const { return m_wrap; }
    void setWrap(bool wrap) { m_wrap = wrap; }
    bool ArrowKeys() const { return m_arrowKeys; }
    void setArrowKeys(bool on) { m_arrowKeys = on; }
    bool Thousands() const { return m_thousands; }
    void setThousands(bool on) { m_thousands = on; }

    // One step up (+1) or down (-1) from the number the bound edit shows now.
    void step(int direction);

    // How a position is written into the edit: "1,000" with thousands grouping.
    static QString formatPosition(int position, bool thousands);
    // The whole number at the start of text (white space, sign, digits, "," group
    // separators), saturated to the int range; 0 when there is none.
    static long long leadingInteger(QStringView text);

    QSize sizeHint() const override { return {15, 21}; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void writePosition();
    int clamped(long long value) const;

    QToolButton *m_up;
    QToolButton *m_down;
    QPointer<QLineEdit> m_associate;
    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    bool m_wrap = false;
    bool m_arrowKeys = true;
    bool m_thousands = true;
};
