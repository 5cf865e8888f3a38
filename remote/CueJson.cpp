#include "CueJson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "Charset.h"

namespace {

QString FirstLineOf(const CueDeck& deck, int number) {
    if (number < 1 || number > static_cast<int>(deck.Cues().size())) return {};
    return FromAnsi(FirstLine(deck.Cues()[static_cast<std::size_t>(number - 1)].text));
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
                {QStringLiteral("text"), FromAnsi(cue.text)},
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
