// Up-down arrows bound to an edit box: each step rewrites the box's text as a whole number.
#include "controls/UpDown.h"

#include "platform/ErrorSink.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

QToolButton *makeArrow(Qt::ArrowType arrow, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    return button;
}

} // namespace

TUpDown::TUpDown(QWidget *parent)
    : QWidget(parent), m_up(makeArrow(Qt::UpArrow, this)), m_down(makeArrow(Qt::DownArrow, this))
{
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);

    // A step happens when an arrow goes down and again at every auto-repeat while it is
    // held, each time by one.
    connect(m_up, &QToolButton::pressed, this, [this] { platform::guarded([&] { step(+1); }); });
    connect(m_down, &QToolButton::pressed, this, [this] { platform::guarded([&] { step(-1); }); });
}

void TUpDown::setAssociate(QLineEdit *edit)
{
    if (m_associate)
        m_associate->removeEventFilter(this);
    m_associate = edit;
    if (edit) {
        edit->installEventFilter(this);
        writePosition();
    }
}

void TUpDown::setMin(int min)
{
    m_min = min;
    setPosition(m_position);
}

void TUpDown::setMax(int max)
{
    m_max = max;
    setPosition(m_position);
}

void TUpDown::setPosition(int position)
{
    m_position = clamped(position);
    writePosition();
}

int TUpDown::clamped(long long value) const
{
    const int low = std::min(m_min, m_max);
    const int high = std::max(m_min, m_max);
    return int(std::clamp<long long>(value, low, high));
}

void TUpDown::step(int direction)
{
    const int low = std::min(m_min, m_max);
    const int high = std::max(m_min, m_max);
    // Whatever the edit shows is brought into range first, then stepped.
    const int from = m_associate ? clamped(leadingInteger(m_associate->text())) : m_position;
    long long next = static_cast<long long>(from) + direction;
    if (next > high)
        next = m_wrap ? low : high;
    if (next < low)
        next = m_wrap ? high : low;
    m_position = int(next);
    writePosition();
}

void TUpDown::writePosition()
{
    if (!m_associate)
        return;
    const QString text = formatPosition(m_position, m_thousands);
    if (m_associate->text() != text)
        m_associate->setText(text);
}

QString TUpDown::formatPosition(int position, bool thousands)
{
    const long long value = position;
    QString digits = QString::number(value < 0 ? -value : value);
    if (thousands)
        for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
            digits.insert(at, u',');
    return value < 0 ? u'-' + digits : digits;
}

long long TUpDown::leadingInteger(QStringView text)
{
    constexpr long long limit = std::numeric_limits<int>::max() + 1LL;
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'-' || text.at(i) == u'+'))
        negative = text.at(i++) == u'-';
    long long value = 0;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= u'0' && c <= u'9') {
            value = std::min(value * 10 + (c.unicode() - u'0'), limit);
            digits = true;
        } else if (!(c == u',' && digits)) {
            break;
        }
    }
    return negative ? -value : value;
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    // The event type first: while the edit is being destroyed, it is no longer a QLineEdit
    // that the pointer may be compared with.
    if (event->type() == QEvent::KeyPress && m_arrowKeys && watched == m_associate) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            platform::guarded([&] { step(key == Qt::Key_Up ? +1 : -1); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
