#pragma once

#include <QString>

#include <cstdint>

struct TVantrelApi;

// One source given to the command line: an image file (its first volume that has a
// drive letter), an image's N-th volume ("IMAGE@N", counted from 1), a drive letter
// ("D:") or an engine disk id ("#3"). Parsing is pure text work apart from one check
// whether a name ending in "@N" is itself an existing file; finding the engine id
// needs the engine's disk list.
class TSourceArgument
{
public:
    enum class Kind
    {
        Image,
        ImageVolume,
        DriveLetter,
        EngineId
    };

    // Reads one source text. On failure returns false and says why in error.
    static bool Parse(const QString& text, TSourceArgument& spec, QString& error);

    // The engine disk id this source names, or -1 with a reason in error. Images must
    // be registered and the engine's list rescanned before this is asked.
    int32_t Resolve(const TVantrelApi& api, QString& error) const;

    // The text as given, for messages.
    QString text() const { return m_text; }
    Kind kind() const { return m_kind; }
    // Image sources: the file as given, and the 1-based volume (0 = first lettered one).
    QString imagePath() const { return m_imagePath; }
    int volume() const { return m_volume; }
    char letter() const { return m_letter; }
    int32_t engineId() const { return m_engineId; }
    bool isImage() const { return m_kind == Kind::Image || m_kind == Kind::ImageVolume; }

    // Canonical form of a file path, used to match an image with the engine's disk
    // paths; the absolute path when the file does not exist.
    static QString canonicalPath(const QString& path);

private:
    int32_t resolveImage(const TVantrelApi& api, QString& error) const;

    QString m_text;
    Kind m_kind = Kind::Image;
    QString m_imagePath;
    int m_volume = 0;
    char m_letter = 0;
    int32_t m_engineId = -1;
};
