// The report laid out on pages: a table whose header row is on every page,
// a row never split over two, "page n of N" at the foot, the run's header
// above the table on the first page and the signature line after it.
#include "report.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <vector>

namespace Bench {

namespace {

constexpr qreal BodyPoints = 8.5;
constexpr qreal TitlePoints = 12;
constexpr qreal PaddingPoints = 1.2;
constexpr qreal ColumnGapPoints = 6;

// Sizes in the device's units, which are its dots, not points.
class Pages
{
    // Its texts are the report's.
    Q_DECLARE_TR_FUNCTIONS(Bench::Report)

public:
    Pages(QPagedPaintDevice *device, const ReportHeader &header, const QList<Batch::LogRecord> &rows)
        : m_device(device), m_header(header), m_rows(rows), m_unit(device->logicalDpiY() / 72.0),
          m_body(QFontDatabase::systemFont(QFontDatabase::GeneralFont)), m_metrics(m_body, device)
    {
        m_body.setPointSizeF(BodyPoints);
        m_metrics = QFontMetricsF(m_body, device);
        m_bold = m_body;
        m_bold.setBold(true);
        m_title = m_bold;
        m_title.setPointSizeF(TitlePoints);
        m_width = device->width();
        m_height = device->height();
        m_padding = PaddingPoints * m_unit;
        m_line = m_metrics.lineSpacing();
        m_columns = reportColumns(rows);
        m_cells.reserve(rows.size());
        for (const Batch::LogRecord &row : rows)
            m_cells.push_back(reportCells(row));
        shareWidth();
    }

    int paint()
    {
        layOut();
        QPainter painter(m_device);
        const int pages = int(m_pageStarts.size());
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                m_device->newPage();
            qreal y = page == 0 ? paintHeader(painter) : paintRunningTitle(painter);
            const int last = page + 1 < pages ? m_pageStarts[size_t(page + 1)] : int(m_rows.size());
            if (page == 0 || m_pageStarts[size_t(page)] < last)
                y = paintRow(painter, y, m_columns, m_headerRowHeight, true);
            for (int row = m_pageStarts[size_t(page)]; row < last; ++row)
                y = paintRow(painter, y, m_cells.at(row), m_rowHeights[size_t(row)], false);
            if (page + 1 == pages)
                paintSignature(painter, m_signatureOnNewPage ? y : y + m_line);
            paintFooter(painter, page + 1, pages);
        }
        return pages;
    }

private:
    qreal footerTop() const { return m_height - m_line - m_padding; }

    // Each column as wide as its widest cell where they all fit; where they
    // do not, the narrow ones keep their width and the wide ones share the
    // rest (their cells wrap). Room left over is shared out as they are wide.
    void shareWidth()
    {
        const int columns = int(m_columns.size());
        std::vector<qreal> natural(size_t(columns), 0);
        for (int column = 0; column < columns; ++column) {
            for (const QString &word : m_columns.at(column).split(QLatin1Char(' ')))
                natural[size_t(column)] = std::max(natural[size_t(column)], QFontMetricsF(m_bold, m_device).horizontalAdvance(word));
        }
        for (const QStringList &cells : m_cells) {
            for (int column = 0; column < columns; ++column)
                natural[size_t(column)] = std::max(natural[size_t(column)], m_metrics.horizontalAdvance(cells.at(column)));
        }
        std::vector<qreal> width(size_t(columns), -1);
        qreal left = m_width;
        for (bool settled = true; settled;) {
            settled = false;
            const int open = int(std::count(width.begin(), width.end(), -1));
            for (int column = 0; open > 0 && column < columns; ++column) {
                const qreal wanted = natural[size_t(column)] + 2 * m_padding + ColumnGapPoints * m_unit;
                if (width[size_t(column)] < 0 && wanted <= left / open) {
                    width[size_t(column)] = wanted;
                    left -= wanted;
                    settled = true;
                    break;
                }
            }
        }
        const int open = int(std::count(width.begin(), width.end(), -1));
        for (qreal &column : width) {
            if (column < 0)
                column = left / open;
        }
        if (open == 0) {
            const qreal used = m_width - left;
            for (qreal &column : width)
                column += left * column / used;
        }
        qreal x = 0;
        for (qreal column : width) {
            m_columnX.push_back(x);
            m_columnWidth.push_back(column);
            x += column;
        }
    }

    // Where the rows of each page begin, and whether the signature needs a page of its own.
    void layOut()
    {
        m_headerRowHeight = rowHeight(m_columns, m_bold);
        m_rowHeights.reserve(size_t(m_rows.size()));
        qreal y = headerHeight() + m_headerRowHeight;
        m_pageStarts = {0};
        for (int row = 0; row < m_rows.size(); ++row) {
            const qreal height = rowHeight(m_cells.at(row), m_body);
            m_rowHeights.push_back(height);
            if (y + height > footerTop() && row > m_pageStarts.back()) {
                m_pageStarts.push_back(row);
                y = runningTitleHeight() + m_headerRowHeight;
            }
            y += height;
        }
        m_signatureOnNewPage = y + m_line + signatureHeight() > footerTop();
        if (m_signatureOnNewPage)
            m_pageStarts.push_back(int(m_rows.size()));
    }

    // Lines of text in a cell of this width; wraps at words, or anywhere in a long path.
    int lineCount(const QString &text, const QFont &font, qreal width) const
    {
        const QFontMetricsF metrics(font, m_device);
        if (metrics.horizontalAdvance(text) <= width)
            return 1;
        QTextLayout layout(text, font, m_device);
        return layOutLines(layout, width);
    }

    int layOutLines(QTextLayout &layout, qreal width) const
    {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int lines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, lines * m_line));
            ++lines;
        }
        layout.endLayout();
        return std::max(lines, 1);
    }

    qreal rowHeight(const QStringList &cells, const QFont &font) const
    {
        int lines = 1;
        for (int column = 0; column < cells.size(); ++column)
            lines = std::max(lines, lineCount(cells.at(column), font, m_columnWidth[size_t(column)] - 2 * m_padding));
        return lines * m_line + 2 * m_padding;
    }

    qreal paintRow(QPainter &painter, qreal y, const QStringList &cells, qreal height, bool heading) const
    {
        const QFont &font = heading ? m_bold : m_body;
        painter.setFont(font);
        if (heading)
            painter.fillRect(QRectF(0, y, m_width, height), QColor(225, 225, 225));
        const QFontMetricsF metrics(font, m_device);
        for (int column = 0; column < cells.size(); ++column) {
            const qreal width = m_columnWidth[size_t(column)] - 2 * m_padding;
            const QPointF at(m_columnX[size_t(column)] + m_padding, y + m_padding);
            const QString &text = cells.at(column);
            if (metrics.horizontalAdvance(text) <= width) {
                painter.drawText(at + QPointF(0, metrics.ascent()), text);
                continue;
            }
            QTextLayout layout(text, font, m_device);
            layOutLines(layout, width);
            layout.draw(&painter, at);
        }
        painter.setPen(QPen(QColor(160, 160, 160), 0.3 * m_unit));
        painter.drawLine(QPointF(0, y + height), QPointF(m_width, y + height));
        painter.setPen(Qt::black);
        return y + height;
    }

    QList<std::pair<QString, QString>> headerFields() const
    {
        const auto time = [](const QDateTime &at) {
            return at.isValid() ? at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")) : tr("none yet");
        };
        return {{tr("Plan"), m_header.planFile},          {tr("Log"), m_header.logFile},
                {tr("Station"), m_header.station},        {tr("Operator"), m_header.operatorName},
                {tr("Software"), m_header.software},      {tr("Run"), tr("%1 to %2").arg(time(m_header.start), time(m_header.end))},
                {tr("Summary"), countsText(reportCounts(m_rows))}};
    }

    qreal labelWidth() const
    {
        qreal widest = 0;
        for (const auto &field : headerFields())
            widest = std::max(widest, QFontMetricsF(m_bold, m_device).horizontalAdvance(field.first));
        return widest + 4 * m_padding;
    }

    qreal headerHeight() const
    {
        qreal height = QFontMetricsF(m_title, m_device).lineSpacing() + m_line;
        for (const auto &field : headerFields())
            height += lineCount(field.second, m_body, m_width - labelWidth()) * m_line;
        return height + m_line;
    }

    qreal paintHeader(QPainter &painter) const
    {
        const QFontMetricsF title(m_title, m_device);
        painter.setFont(m_title);
        painter.drawText(QPointF(0, title.ascent()),
                         tr("Velmora Bench: report of %1").arg(QFileInfo(m_header.planFile).fileName()));
        qreal y = title.lineSpacing() + m_line;
        for (const auto &field : headerFields()) {
            painter.setFont(m_bold);
            painter.drawText(QPointF(0, y + m_metrics.ascent()), field.first);
            painter.setFont(field.first == tr("Summary") ? m_bold : m_body);
            QTextLayout layout(field.second, painter.font(), m_device);
            const int lines = layOutLines(layout, m_width - labelWidth());
            layout.draw(&painter, QPointF(labelWidth(), y));
            y += lines * m_line;
        }
        return y + m_line;
    }

    qreal runningTitleHeight() const { return 1.5 * m_line; }

    qreal paintRunningTitle(QPainter &painter) const
    {
        painter.setFont(m_body);
        painter.drawText(QPointF(0, m_metrics.ascent()),
                         tr("Velmora Bench: report of %1, continued").arg(QFileInfo(m_header.planFile).fileName()));
        return runningTitleHeight();
    }

    qreal signatureHeight() const { return 5 * m_line; }

    void paintSignature(QPainter &painter, qreal y) const
    {
        painter.setFont(m_body);
        painter.drawText(QPointF(0, y + m_metrics.ascent()),
                         tr("Every row above is as the log records it. Checked by:"));
        const qreal lineY = y + 4 * m_line;
        const QStringList fields = {tr("Name"), tr("Date"), tr("Signature")};
        const qreal share = m_width / fields.size();
        painter.setPen(QPen(Qt::black, 0.5 * m_unit));
        for (int i = 0; i < fields.size(); ++i) {
            const qreal x = i * share;
            painter.drawText(QPointF(x, lineY - m_padding), fields.at(i));
            painter.drawLine(QPointF(x + labelWidth(), lineY), QPointF(x + share - 4 * m_padding, lineY));
        }
    }

    void paintFooter(QPainter &painter, int page, int pages) const
    {
        painter.setFont(m_body);
        const qreal y = footerTop() + m_padding + m_metrics.ascent();
        painter.drawText(QPointF(0, y), QStringLiteral("%1 · %2").arg(QFileInfo(m_header.planFile).fileName(), m_header.software));
        const QString number = tr("page %1 of %2").arg(page).arg(pages);
        painter.drawText(QPointF(m_width - m_metrics.horizontalAdvance(number), y), number);
    }

    QPagedPaintDevice *m_device;
    const ReportHeader &m_header;
    const QList<Batch::LogRecord> &m_rows;
    const qreal m_unit;
    QFont m_body;
    QFont m_bold;
    QFont m_title;
    QFontMetricsF m_metrics;
    qreal m_width = 0;
    qreal m_height = 0;
    qreal m_padding = 0;
    qreal m_line = 0;
    std::vector<qreal> m_columnX;
    std::vector<qreal> m_columnWidth;
    QStringList m_columns;
    QList<QStringList> m_cells;  // by row
    qreal m_headerRowHeight = 0;
    std::vector<qreal> m_rowHeights;
    std::vector<int> m_pageStarts;
    bool m_signatureOnNewPage = false;
};

} // namespace

int paintReport(QPagedPaintDevice *device, const ReportHeader &header, const QList<Batch::LogRecord> &rows)
{
    return Pages(device, header, rows).paint();
}

} // namespace Bench
