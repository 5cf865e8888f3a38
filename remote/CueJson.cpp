#include "CueJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "Cp1252.h"

namespace {

QString FromCp1252(std::string_view text) {
    return QString::fromStdU16String(Utf16FromCp1252(text));
}

QString FirstLineOf(const CueDeck& deck, int number) {
    if (number < 1 || number > static_cast<int>(deck.Cues().size())) return {};
    return FromCp1252(FirstLine(deck.Cues()[static_cast<std::size_t>(number - 1)].text));
}

}  // namespace

std::string CueStateJson(const CueDeck& deck, bool withRows) {
    QJsonObject object{
        // A file name is the local encoding's bytes.
        {QStringLiteral("file"), QFile::decodeName(QByteArray::fromStdString(deck.File()))},
        {QStringLiteral("count"), static_cast<qint64>(deck.Cues().size())},
        {QStringLiteral("screen"), deck.Screen()},
        {QStringLiteral("loop"), deck.Loop()},
        {QStringLiteral("next"), deck.Next()},
        {QStringLiteral("on_air"), deck.OnAir()},
        {QStringLiteral("next_text"), FirstLineOf(deck, deck.Next())},
        {QStringLiteral("on_air_text"), FirstLineOf(deck, deck.OnAir())},
    };
    if (withRows) {
        QJsonArray rows;
        for (const Cue& cue : deck.Cues())
            rows.append(QJsonObject{
                {QStringLiteral("cue"), cue.number},
                {QStringLiteral("text"), FromCp1252(cue.text)},
                {QStringLiteral("date"), cue.dateCorner},
                {QStringLiteral("time"), cue.timeCorner},
                {QStringLiteral("note"), QString::fromStdString(cue.note)},
                {QStringLiteral("lossy"), cue.lossy},
                {QStringLiteral("cut"), cue.cut},
                {QStringLiteral("commands"), cue.commands},
            });
        object.insert(QStringLiteral("rows"), rows);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
