// Any bytes through the recording reader, as a file a spreadsheet or a crash left. It reads
// or says why, and what it reads keeps its rules: rows in time order, offsets from the first,
// the play position on a readable row.
#include "fuzz/fuzzcheck.h"
#include "replay/recording.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace smartcar;
    const Recording rec = readRecording(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!rec.error.isEmpty()) {
        require(rec.rows.isEmpty());
        return 0;
    }
    qint64 last = 0;
    int sent = 0;
    bool problem = false;
    for (const RecordedRow& row : rec.rows) {
        if (!row.problem.isEmpty()) {
            problem = true;
            continue;
        }
        require(row.offsetMs >= last);
        last = row.offsetMs;
        sent += row.sent && !row.failed ? 1 : 0;
        require(!row.sent || !row.bytes.isEmpty());
    }
    require(rec.sentFrames == sent);
    require(rec.durationMs == last);
    require(problem == !rec.firstProblem.isEmpty());
    for (const qint64 ms : {qint64(-1), qint64(0), last / 2, last, last + 1}) {
        const qsizetype at = rowAt(rec, ms);
        require(at < rec.rows.size());
        require(at < 0 || (rec.rows[at].problem.isEmpty() && rec.rows[at].offsetMs <= ms));
        require(nextRowOffset(rec, ms) >= ms);
        require(previousRowOffset(rec, ms) <= ms);
    }
    return 0;
}
