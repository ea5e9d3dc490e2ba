#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class TByteSource;

// Reads a picture file and decodes it on a worker thread within a size and a time
// budget, so that a huge or damaged picture found on a disk neither blocks the window
// nor exhausts memory: the result arrives as Loaded or Failed on the loader's thread.
class TPictureLoader : public QObject
{
    Q_OBJECT

public:
    // Files larger than this are not decoded.
    static constexpr int64_t MaxBytes = 64 * 1024 * 1024;
    // Decoded pictures larger than this many megabytes are refused by the decoder.
    static constexpr int MaxDecodedMegabytes = 256;
    // A decoding that takes longer is given up (its result is dropped when it comes).
    static constexpr int TimeLimitMs = 10000;

    explicit TPictureLoader(QObject* parent = nullptr);
    ~TPictureLoader() override;

    // Whether the bytes a file starts with are those of a picture format Qt reads.
    static bool LooksLikePicture(const QByteArray& head);
    // Decodes bytes within the budgets; a null image and a reason when it cannot.
    static QImage Decode(const QByteArray& bytes, QString& reason);

    // Reads the source (kept alive by the worker while it reads) and decodes it.
    void Start(std::shared_ptr<TByteSource> source);
    bool Busy() const { return m_busy; }

signals:
    void Loaded(const QImage& image);
    void Failed(const QString& reason);

private:
    bool m_busy = false;
    // Bumped by every Start and by the time limit: a result for an older number is dropped.
    int m_generation = 0;
};
