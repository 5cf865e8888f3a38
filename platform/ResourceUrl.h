#pragma once

#include <QString>
#include <QUrl>

// The program's own pages and pictures are served from its resources under
// res://Tessora.exe/<id> and res://Tessora.exe/bmp/<name>, the addresses the pages use.
inline constexpr char kResScheme[] = "res";

// res://Tessora.exe/<resourceId>
QUrl ResourceUrl(int resourceId);
// The compiled-in resource file for a res: URL, or an empty string when there is none.
QString ResourcePathForUrl(const QUrl& url);
