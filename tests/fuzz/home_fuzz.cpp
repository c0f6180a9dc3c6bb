// Feeds arbitrary text to the home pages' parsing: a photo URL must always
// give a plain file name inside the photos folder, and the ring-call fields
// (type word, addresses, user ids) must be read without a crash and with
// their invariants.
#include "Home/homerules.h"
#include "cglobalinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkImageName(const QString& url)
{
    const QString name = CGlobalInstance::getImageName(url);
    require(!name.isEmpty());
    require(!name.contains('/') && !name.contains('\\') && !name.contains(QChar(0)));
    require(name != "." && name != "..");
    require(name.toUtf8().size() <= 255);
    static const QString photos = QFileInfo(CGlobalInstance::getFullImagePath("x")).absolutePath();
    require(QFileInfo(CGlobalInstance::getFullImagePath(name)).absolutePath() == photos);
}

void checkRingFields(const std::string& jid, const std::string& type)
{
    const home::RingWord word = home::ringWord(type);
    require(word == home::RingWord::None || !type.empty());
    const std::string bare = home::bareJid(jid);
    require(bare.find('/') == std::string::npos && jid.compare(0, bare.size(), bare) == 0);
    const std::string id = CGlobalInstance::getUserId(jid);
    require(id.find('@') == std::string::npos && jid.compare(0, id.size(), id) == 0);
    const std::string lower = home::lowerId(id);
    require(lower.size() == id.size() && home::lowerId(lower) == lower);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkImageName(QString::fromUtf8(text.data(), int(text.size())));
    const std::size_t cut = text.find('\n');
    checkRingFields(text.substr(0, cut), cut == std::string::npos ? std::string() : text.substr(cut + 1));
    return 0;
}
