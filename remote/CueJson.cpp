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
    return FromAnsi(FirstLine(deck.Filled(number).content.text));
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
        {QStringLiteral("template"), deck.Template()},
        {QStringLiteral("next_text"), FirstLineOf(deck, deck.Next())},
        {QStringLiteral("on_air_text"), FirstLineOf(deck, deck.OnAir())},
    };
    if (withRows) {
        QJsonArray rows;
        for (const Cue& cue : deck.Cues()) {
            // As it goes to air, through the template when there is one.
            const TemplateFill fill = deck.Filled(cue.number);
            QJsonObject row{
                {QStringLiteral("cue"), cue.number},
                {QStringLiteral("text"), FromAnsi(fill.content.text)},
                {QStringLiteral("date"), fill.content.dateCorner},
                {QStringLiteral("time"), fill.content.timeCorner},
                {QStringLiteral("note"), QString::fromStdString(cue.note)},
                {QStringLiteral("lossy"), fill.lossy},
                {QStringLiteral("cut"), fill.cut},
                {QStringLiteral("commands"), fill.commands},
            };
            if (!fill.refusal.empty())
                row.insert(QStringLiteral("refused"), QString::fromStdString(fill.refusal));
            rows.append(row);
        }
        object.insert(QStringLiteral("rows"), rows);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
