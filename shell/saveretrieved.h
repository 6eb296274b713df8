#pragma once
// File Management > "&Save Retrieved Indicator File": the working file, as the last read of
// the meter left it, is copied under a name the user chooses. The name must hold ".idr" or
// ".IDR"; otherwise the user is told and asked again.

#include <QString>

class QWidget;

namespace kaldor {

class Dialogs;

void saveRetrievedIndicatorFile(QWidget* parent, Dialogs& dialogs, const QString& workingFile);

} // namespace kaldor
