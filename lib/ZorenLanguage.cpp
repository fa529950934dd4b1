#include "ZorenLanguage.h"

ZorenLanguage::ZorenLanguage(const QString &fileName)
    : LangFile(fileName.trimmed().isEmpty() ? QStringLiteral("lang/default.lng") : fileName)
{
    LangSet = std::make_unique<ZorenSettings>(LangFile, false);
}

ZorenLanguage::~ZorenLanguage()
{
    if (StoreLang)
        Save(QString());
}

QString ZorenLanguage::Get(const QString &defaultText, const QString &key)
{
    const QString answer = LangSet->Get(key, defaultText).toString();
    if (answer.isEmpty())
        return defaultText;
    if (StoreLang)
        LangSet->Set(key, answer);
    return answer;
}

void ZorenLanguage::Load(const QString &fileName)
{
    LangSet->Clear();
    LangFile = fileName;
    LangSet->LoadSettings(fileName);
}

void ZorenLanguage::Save(const QString &fileName)
{
    LangSet->SaveSettings(fileName);
}

void ZorenLanguage::Set(const QString &key, const QString &text)
{
    LangSet->Set(key, text);
}
