#pragma once

#include <cstdint>
#include <vector>

#include <QSize>

class QImage;
class QRect;

// Shrinks a picture in Format_RGB32 layout, each target pixel the exact
// average of the source area it covers (a box filter, so a large reduction
// does not alias). Takes the source one row at a time, top to bottom, and
// hands out each target row as soon as it is complete, so that neither
// picture needs to exist whole.
class AreaScaler
{
public:
    // `to` no larger than `from` in either direction, neither empty.
    AreaScaler(QSize from, QSize to);

    // Adds the next source row (from.width() pixels). Answers the target row
    // this completes (to.width() pixels, valid until the next call), or null.
    // Rows after the last one the target needs are ignored.
    const uchar *addRow(const uchar *row);

    bool finished() const { return m_target >= int(m_verSpans.size()); }

    // The whole of `source` shrunk into `area` of `target`.
    static void scaleInto(const QImage &source, QImage &target, const QRect &area);

private:
    // The source cells that one target cell covers, with their weights.
    struct Span
    {
        int first = 0;
        int count = 0;
        int offset = 0; // into the weights
    };
    static void makeSpans(int from, int to, int bits, std::vector<Span> &spans,
                          std::vector<uint32_t> &weights);
    void reduce(const uchar *row);
    void accumulate(int target, int sourceRow);

    std::vector<Span> m_horSpans, m_verSpans;
    std::vector<uint32_t> m_horWeights, m_verWeights;
    std::vector<uint16_t> m_reduced; // the last source row, reduced across
    std::vector<uint32_t> m_sums[2]; // of the two target rows a source row can touch
    std::vector<uchar> m_out;
    int m_source = 0; // index of the next source row
    int m_target = 0; // first unfinished target row
};
