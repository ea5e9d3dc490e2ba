#include "disk/TContentCheck.h"

#include "disk/TBaseElement.h"
#include "disk/TEngineRecord.h"
#include "disk/TVantrelApi.h"

#include <QHash>

#include <algorithm>
#include <memory>
#include <string_view>

namespace {

using Bytes = std::string_view;

// Whether head holds magic at offset.
bool at(Bytes head, size_t offset, Bytes magic)
{
    return head.size() >= offset + magic.size() && head.substr(offset, magic.size()) == magic;
}

// One type's signature. A check reads Window bytes (fewer when the file is shorter) and
// gives no verdict on fewer than Minimum.
struct TSignature
{
    const char* Extensions; // separated by spaces, lower case
    int Minimum;
    int Window;
    bool (*Matches)(Bytes head);
};

using namespace std::string_view_literals;

// ISO base media (MP4, MOV, M4A, 3GP, HEIF): a box type at 4. Files from before the
// "ftyp" box start with their movie, data or padding box instead.
bool isoMedia(Bytes head)
{
    for (const Bytes box : {"ftyp"sv, "moov"sv, "mdat"sv, "wide"sv, "free"sv, "skip"sv, "pnot"sv}) {
        if (at(head, 4, box))
            return true;
    }
    return false;
}

bool riffOf(Bytes head, Bytes form)
{
    return (at(head, 0, "RIFF"sv) || at(head, 0, "RF64"sv) || at(head, 0, "BW64"sv)) && at(head, 8, form);
}

// ID3 tag or an MPEG audio frame header: eleven sync bits and a layer.
bool mpegAudio(Bytes head)
{
    if (at(head, 0, "ID3"sv))
        return true;
    return head.size() >= 2 && uint8_t(head[0]) == 0xFF && (uint8_t(head[1]) & 0xE0) == 0xE0 &&
           (uint8_t(head[1]) & 0x06) != 0;
}

const TSignature kSignatures[] = {
    {"jpg jpeg jpe jfif", 3, 3, [](Bytes h) { return at(h, 0, "\xFF\xD8\xFF"sv); }},
    {"png", 8, 8, [](Bytes h) { return at(h, 0, "\x89PNG\r\n\x1A\n"sv); }},
    {"gif", 6, 6, [](Bytes h) { return at(h, 0, "GIF87a"sv) || at(h, 0, "GIF89a"sv); }},
    // Readers accept the header anywhere in the first 1024 bytes.
    {"pdf", 5, 1024, [](Bytes h) { return h.find("%PDF-"sv) != Bytes::npos; }},
    // A local file header, or the end record of an empty or a spanned archive.
    {"zip docx docm dotx dotm xlsx xlsm xltx xltm pptx pptm potx ppsx odt ods odp odg odf ott ots otp jar "
     "war ear apk aab epub xpi kmz vsdx 3mf nupkg whl ipa",
     4, 4,
     [](Bytes h) {
         return at(h, 0, "PK\x03\x04"sv) || at(h, 0, "PK\x05\x06"sv) || at(h, 0, "PK\x07\x08"sv);
     }},
    {"doc dot xls xlt ppt pot pps msi msp msg vsd pub", 8, 8,
     [](Bytes h) { return at(h, 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv); }},
    {"rar", 6, 6, [](Bytes h) { return at(h, 0, "Rar!\x1A\x07"sv); }},
    {"7z", 6, 6, [](Bytes h) { return at(h, 0, "7z\xBC\xAF\x27\x1C"sv); }},
    {"mp4 m4v m4a m4b m4p mov qt 3gp 3g2 heic heif avif f4v", 8, 8, isoMedia},
    {"bmp dib", 2, 2, [](Bytes h) { return at(h, 0, "BM"sv); }},
    // Classic and big TIFF, and the camera formats built on them.
    {"tif tiff dng nef cr2 arw", 4, 4,
     [](Bytes h) {
         return at(h, 0, "II*\0"sv) || at(h, 0, "MM\0*"sv) || at(h, 0, "II+\0"sv) || at(h, 0, "MM\0+"sv);
     }},
    {"webp", 12, 12, [](Bytes h) { return riffOf(h, "WEBP"sv); }},
    {"wav", 12, 12, [](Bytes h) { return riffOf(h, "WAVE"sv); }},
    {"avi", 12, 12, [](Bytes h) { return riffOf(h, "AVI "sv); }},
    {"mp3", 3, 3, mpegAudio},
    {"flac", 4, 4, [](Bytes h) { return at(h, 0, "fLaC"sv) || at(h, 0, "ID3"sv); }},
    {"ogg oga ogv opus spx", 4, 4, [](Bytes h) { return at(h, 0, "OggS"sv); }},
    {"mkv mka mks mk3d webm", 4, 4, [](Bytes h) { return at(h, 0, "\x1A\x45\xDF\xA3"sv); }},
    {"gz tgz", 2, 2, [](Bytes h) { return at(h, 0, "\x1F\x8B"sv); }},
    {"bz2 tbz2", 3, 3, [](Bytes h) { return at(h, 0, "BZh"sv); }},
    {"xz txz", 6, 6,
     [](Bytes h) {
         return at(h, 0,
                   "\xFD"
                   "7zXZ\0"sv);
     }},
    {"zst", 4, 4, [](Bytes h) { return at(h, 0, "\x28\xB5\x2F\xFD"sv); }},
    {"elf so ko", 4, 4,
     [](Bytes h) {
         return at(h, 0,
                   "\x7F"
                   "ELF"sv);
     }},
    {"exe dll sys ocx scr cpl efi", 2, 2, [](Bytes h) { return at(h, 0, "MZ"sv); }},
    {"ico", 4, 4, [](Bytes h) { return at(h, 0, "\0\0\x01\0"sv); }},
    {"cur", 4, 4, [](Bytes h) { return at(h, 0, "\0\0\x02\0"sv); }},
    {"psd psb", 4, 4, [](Bytes h) { return at(h, 0, "8BPS"sv); }},
    {"sqlite sqlite3 db3", 16, 16, [](Bytes h) { return at(h, 0, "SQLite format 3\0"sv); }},
    {"rtf", 5, 5, [](Bytes h) { return at(h, 0, "{\\rtf"sv); }},
    {"wma wmv asf", 8, 8, [](Bytes h) { return at(h, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"sv); }},
    {"flv", 3, 3, [](Bytes h) { return at(h, 0, "FLV"sv); }},
    {"swf", 3, 3, [](Bytes h) { return at(h, 0, "FWS"sv) || at(h, 0, "CWS"sv) || at(h, 0, "ZWS"sv); }},
    {"mid midi", 4, 4, [](Bytes h) { return at(h, 0, "MThd"sv); }},
    {"class", 4, 4, [](Bytes h) { return at(h, 0, "\xCA\xFE\xBA\xBE"sv); }},
    {"cab", 4, 4, [](Bytes h) { return at(h, 0, "MSCF"sv); }},
    {"tar", 262, 262, [](Bytes h) { return at(h, 257, "ustar"sv); }},
    {"aif aiff aifc", 12, 12,
     [](Bytes h) { return at(h, 0, "FORM"sv) && (at(h, 8, "AIFF"sv) || at(h, 8, "AIFC"sv)); }},
    {"lnk", 8, 8, [](Bytes h) { return at(h, 0, "L\0\0\0\x01\x14\x02\0"sv); }},
    {"chm", 4, 4, [](Bytes h) { return at(h, 0, "ITSF"sv); }},
};

// Extension (lower case) to its signature, built once.
const QHash<QString, const TSignature*>& byExtension()
{
    static const QHash<QString, const TSignature*> table = [] {
        QHash<QString, const TSignature*> map;
        for (const TSignature& signature : kSignatures) {
            for (const QString& extension :
                 QString::fromLatin1(signature.Extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                map.insert(extension, &signature);
        }
        return map;
    }();
    return table;
}

const TSignature* signatureOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // No dot, or a name that is only an extension (".gz"), says nothing of the type.
    if (dot <= 0 || dot + 1 >= name.size())
        return nullptr;
    return byExtension().value(name.mid(dot + 1).toLower(), nullptr);
}

} // namespace

bool TContentCheck::KnownType(const QString& name)
{
    return signatureOf(name) != nullptr;
}

int64_t TContentCheck::BytesToRead(const QString& name, int64_t size)
{
    const TSignature* signature = signatureOf(name);
    if (!signature || size <= 0)
        return 0;
    return std::min<int64_t>({int64_t{signature->Window}, size, HeadBytes});
}

TContentCheck::Verdict TContentCheck::CheckHead(const QString& name, const QByteArray& head)
{
    const TSignature* signature = signatureOf(name);
    if (!signature || head.size() < signature->Minimum)
        return Verdict::Unknown;
    return signature->Matches(Bytes(head.constData(), size_t(head.size()))) ? Verdict::Match
                                                                            : Verdict::Mismatch;
}

bool TContentCheck::Applies(const TBaseElement& element)
{
    using Rating = TRecoverability::Rating;
    if (!element.IsDeleted() || element.IsFolder() || element.ContentChecked)
        return false;
    const Rating rating = element.Recovery;
    if (rating != Rating::None && rating != Rating::Intact && rating != Rating::Partial &&
        rating != Rating::Guess)
        return false;
    // An entry the engine has no data for reads as nothing.
    return !(element.Flags & flag_NO_DATA) && KnownType(element.Name);
}

TContentCheck::Verdict TContentCheck::Probe(const TVantrelApi& api, const TFileInfo& record,
                                            const QString& name, int64_t size)
{
    const int64_t want = BytesToRead(name, size);
    if (want <= 0 || !api.FileRead)
        return Verdict::Unknown;
    QByteArray head(qsizetype(want), Qt::Uninitialized);
    int64_t done = 0;
    // The engine may give a read in parts; a failing or empty part ends it.
    while (done < want) {
        const int64_t got = TVantrelApi::Guarded(api.FileRead, int64_t{-1}, &record, done,
                                                 static_cast<void*>(head.data() + done), want - done);
        if (got <= 0)
            break;
        done += std::min(got, want - done);
    }
    head.truncate(qsizetype(done));
    return CheckHead(name, head);
}

void TContentCheck::Apply(TBaseElement& element, Verdict verdict)
{
    element.ContentChecked = true;
    if (verdict == Verdict::Mismatch) {
        element.Recovery = TRecoverability::Rating::Mismatch;
        element.RecoveryPercent = 0;
    }
}

TContentCheck::Verdict TContentCheck::Check(TBaseElement& element)
{
    if (!Applies(element))
        return Verdict::Unknown;
    const auto record = std::make_unique<TFileInfo>();
    TEngineRecord::Fill(element, *record);
    const Verdict verdict = Probe(TVantrelApi::Current(), *record, element.Name, element.Size);
    // Checked once: a file too short to judge or unreadable stays so, and visible rows
    // are asked for again and again.
    Apply(element, verdict);
    return verdict;
}
