#include "DocumentFile.h"

#include "Archive.h"
#include "File.h"

bool LoadDocument(const std::string& path, CTessoraFile& doc, CFileException* openError) {
    CFile file;
    if (!file.Open(path, CFile::modeRead, openError)) return false;
    CArchive ar(file, CArchive::load);
    ar.LimitTextLength(kLongestScreenText);
    try {
        doc.Serialize(ar);
    } catch (const CArchive::TextTooLong&) {
        if (openError)
            *openError = CFileException(CFileException::Cause::generic, file.GetFilePath());
        return false;
    }
    ar.Close();
    file.Close();
    return true;
}
