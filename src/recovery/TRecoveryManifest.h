#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// What a recovery run did with each ticked file, written into the destination as a CSV
// file (UTF-8, RFC 4180: CRLF line ends, fields quoted where needed, a header row) so the
// user can later show what was recovered and that it is unchanged: source path, target
// path, recorded size, bytes written, rating word, SHA-256 of the written file, result
// and its reason.
class TRecoveryManifest
{
public:
    enum class Result
    {
        Recovered, // copied, nothing known to be wrong with the data
        Damaged,   // copied, but the data is known to be partly or wholly not the file's
        Failed,
        Skipped,
        Cancelled, // the copy under way when the run was stopped, and files never reached
    };

    struct TRow
    {
        QString Source; // as scan prints it
        QString Target; // empty when the file never got one
        int64_t Size = 0;
        int64_t Written = -1; // length of the target; -1 when nothing was written
        QString Rating;       // the rating word, empty for live files
        QByteArray Sha256;    // hex, empty when nothing was written or it could not be read back
        Result Outcome = Result::Recovered;
        QString Reason; // why the file is damaged, failed or skipped
    };

    // The first name tried; then recovery-manifest-2.csv, -3, ...
    static constexpr const char* FileName = "recovery-manifest.csv";

    void Clear() { m_rows.clear(); }
    void Add(TRow row) { m_rows.push_back(std::move(row)); }
    const std::vector<TRow>& Rows() const { return m_rows; }

    // The whole file: header and one record per row.
    QByteArray Csv() const;
    // Writes the file into the open folder under the first of FileName and its numbered
    // names that does not exist yet (nothing is replaced, no link followed). Returns the
    // name written, or an empty text with the reason in error (then nothing is left).
    QString WriteInto(int folder, QString& error) const;

    // "recovered", "damaged", "failed", "skipped", "cancelled".
    static QString Word(Result result);
    // One CSV field: quoted when it holds a comma, a quote, CR or LF, quotes doubled.
    static QString Field(const QString& text);
    // The SHA-256 (hex) of the regular file name inside folder, opened without following a
    // link, and its length in bytes (-1 when it cannot be opened); keepGoing is asked between chunks and ends
    // the reading when false. Empty when the file cannot be read to its end.
    static QByteArray HashFile(int folder, const QString& name, int64_t& bytes,
                               const std::function<bool()>& keepGoing = {});

private:
    std::vector<TRow> m_rows;
};
