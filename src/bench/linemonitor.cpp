#include "linemonitor.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Bench {

namespace {

constexpr int FlushMs = 100;

} // namespace

LineMonitor::LineMonitor(QWidget *parent) : QDockWidget(tr("Line monitor"), parent)
{
    setObjectName(QStringLiteral("lineMonitor"));
    auto *content = new QWidget(this);
    laneFilter = new QComboBox(content);
    laneFilter->setObjectName(QStringLiteral("laneFilter"));
    laneFilter->setAccessibleName(tr("Lane shown"));
    laneFilter->addItem(tr("All lanes"));
    copyButton = new QPushButton(tr("&Copy"), content);
    copyButton->setObjectName(QStringLiteral("copyButton"));
    copyButton->setToolTip(tr("Copies the selected lines, or all lines shown"));
    clearButton = new QPushButton(tr("C&lear"), content);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    lineView = new QPlainTextEdit(content);
    lineView->setObjectName(QStringLiteral("lineView"));
    lineView->setAccessibleName(tr("Frames on the line"));
    lineView->setReadOnly(true);
    lineView->setMaximumBlockCount(MaxLines);
    lineView->setLineWrapMode(QPlainTextEdit::NoWrap);
    lineView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *controls = new QHBoxLayout;
    controls->addWidget(laneFilter, 1);
    controls->addWidget(copyButton);
    controls->addWidget(clearButton);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(controls);
    layout->addWidget(lineView);
    setWidget(content);

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &LineMonitor::flush);
    connect(laneFilter, &QComboBox::currentIndexChanged, this, &LineMonitor::refill);
    connect(copyButton, &QPushButton::clicked, this, &LineMonitor::copy);
    connect(clearButton, &QPushButton::clicked, this, &LineMonitor::clear);
}

void LineMonitor::setLanes(const QStringList &ports)
{
    const QString current = laneFilter->currentIndex() > 0 ? laneFilter->currentText() : QString();
    QSignalBlocker blocker(laneFilter);
    while (laneFilter->count() > 1)
        laneFilter->removeItem(1);
    laneFilter->addItems(ports);
    laneFilter->setCurrentIndex(std::max(0, int(ports.indexOf(current)) + 1));
    refill();
}

void LineMonitor::addLine(const QString &port, const QByteArray &line)
{
    m_lines.push_back({port, QString::fromLatin1(line)});
    if (m_lines.size() > size_t(MaxLines))
        m_lines.pop_front();
    // Hidden, it only keeps the lines: it fills its view when shown.
    if (!shows(m_lines.back()) || !isVisible())
        return;
    m_pending << shown(m_lines.back());
    if (m_pending.size() > MaxLines)
        m_pending.removeFirst();
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

bool LineMonitor::shows(const Line &line) const
{
    return laneFilter->currentIndex() <= 0 || line.port == laneFilter->currentText();
}

QString LineMonitor::shown(const Line &line) const
{
    return line.text;  // "12.3 sim1 TX aa 05 ...": a lane's trace names its port
}

void LineMonitor::refill()
{
    m_flushTimer.stop();
    m_pending.clear();
    QStringList all;
    for (const Line &line : m_lines) {
        if (shows(line))
            all << shown(line);
    }
    lineView->setPlainText(all.join(QLatin1Char('\n')));
    lineView->moveCursor(QTextCursor::End);
}

void LineMonitor::flush()
{
    if (m_pending.isEmpty())
        return;
    lineView->appendPlainText(m_pending.join(QLatin1Char('\n')));
    m_pending.clear();
}

void LineMonitor::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    refill();
}

QString LineMonitor::shownText()
{
    if (!isVisible())
        refill();
    flush();
    return lineView->toPlainText();
}

void LineMonitor::copy()
{
    const QString selected = lineView->textCursor().selectedText();
    // A selection's line ends are paragraph separators.
    QApplication::clipboard()->setText(selected.isEmpty() ? shownText()
                                                          : QString(selected).replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
}

void LineMonitor::clear()
{
    m_lines.clear();
    refill();
}

} // namespace Bench
