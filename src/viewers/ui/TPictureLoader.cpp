#include "viewers/ui/TPictureLoader.h"

#include "settings/Messages.h"
#include "viewers/TByteSource.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

TPictureLoader::TPictureLoader(QObject* parent) : QObject(parent) {}

TPictureLoader::~TPictureLoader() = default;

bool TPictureLoader::LooksLikePicture(const QByteArray& head)
{
    QByteArray copy = head;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.canRead();
}

QImage TPictureLoader::Decode(const QByteArray& bytes, QString& reason)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(MaxDecodedMegabytes);
    const QImage image = reader.read();
    if (image.isNull())
        reason = QStringLiteral("The picture cannot be shown: %1.").arg(reader.errorString());
    return image;
}

void TPictureLoader::Start(std::shared_ptr<TByteSource> source)
{
    const int generation = ++m_generation;
    m_busy = true;
    if (!source || source->size() <= 0) {
        m_busy = false;
        emit Failed(Messages::ViewEmpty.Text());
        return;
    }
    if (source->size() > MaxBytes) {
        m_busy = false;
        emit Failed(Messages::PictureTooLarge.Text().arg(MaxBytes / (1024 * 1024)));
        return;
    }
    QTimer::singleShot(TimeLimitMs, this, [this, generation] {
        if (generation != m_generation || !m_busy)
            return;
        ++m_generation;
        m_busy = false;
        emit Failed(Messages::PictureTooSlow.Text().arg(TimeLimitMs / 1000));
    });
    // The result goes back through the application object, on the GUI thread, where the
    // guard tells whether this loader still exists.
    const QPointer<TPictureLoader> guard(this);
    QThreadPool::globalInstance()->start([guard, generation, source = std::move(source)] {
        QByteArray bytes(qsizetype(source->size()), Qt::Uninitialized);
        const int64_t got = source->read(0, bytes.data(), bytes.size());
        QString reason;
        QImage image;
        if (got <= 0)
            reason = QStringLiteral("The file's content cannot be read.");
        else
            image = Decode(bytes.left(qsizetype(got)), reason);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, generation, image = std::move(image), reason] {
                if (!guard || guard->m_generation != generation)
                    return;
                guard->m_busy = false;
                if (image.isNull())
                    emit guard->Failed(reason);
                else
                    emit guard->Loaded(image);
            },
            Qt::QueuedConnection);
    });
}
