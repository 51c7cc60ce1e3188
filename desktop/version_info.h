#pragma once

#include <QObject>
#include <QString>
#include <array>

// The program's version strings, read once when the reader is created. The
// table is generated at build time from the project version.
class TVersionInfoReader : public QObject {
    Q_OBJECT
public:
    enum TVersionType {
        vtCompanyName,
        vtFileDescription,
        vtFileVersion,
        vtInternalName,
        vtLegalCopyright,
        vtLegalTradeMark,
        vtOriginalFileName,
        vtProductName,
        vtProductVersion,
        vtComments
    };
    Q_ENUM(TVersionType)
    static constexpr int VersionTypeCount = vtComments + 1;

    explicit TVersionInfoReader(QObject* owner = nullptr);

    virtual QString GetVersionString(TVersionType index) const;
    // Fills every value the table holds; a key it lacks stays empty.
    virtual void ReadVersionInfo();

    // The key name of a value: its enumeration name without the "vt".
    static QString KeyName(TVersionType index);

    QString CompanyName() const { return GetVersionString(vtCompanyName); }
    QString FileDescription() const { return GetVersionString(vtFileDescription); }
    QString FileVersion() const { return GetVersionString(vtFileVersion); }
    QString InternalName() const { return GetVersionString(vtInternalName); }
    QString LegalCopyright() const { return GetVersionString(vtLegalCopyright); }
    QString LegalTradeMark() const { return GetVersionString(vtLegalTradeMark); }
    QString OriginalFileName() const { return GetVersionString(vtOriginalFileName); }
    QString ProductName() const { return GetVersionString(vtProductName); }
    QString ProductVersion() const { return GetVersionString(vtProductVersion); }
    QString Comments() const { return GetVersionString(vtComments); }

protected:
    std::array<QString, VersionTypeCount> FVersionInfo;
};
