#pragma once

#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

// What a hosting page sees of the control: its registered identifiers and its answers to
// whether it may be scripted and initialised from the page.
namespace Automation {

inline const QString TypeLibrary = QStringLiteral("PotwierdzenieZamRUCtl");
inline constexpr int TypeLibraryLocale = 1033;
inline const QUuid ClassId = QUuid(QStringLiteral("{594E209B-5605-47E6-B94D-F10EB82AB4A8}"));
inline const QUuid InterfaceId = QUuid(QStringLiteral("{F3EBC3AF-1813-41AF-8C84-ED454E07DE6E}"));
inline const QUuid EventsId = QUuid(QStringLiteral("{3D18B011-66B1-415A-9027-A6D58CA46C7C}"));
inline const QUuid ObjectSafetyId = QUuid(QStringLiteral("{CB5BDC81-93C1-11CF-8F20-00805F2CD064}"));

enum SafetyOption : uint32_t { SafeForScripting = 1, SafeForInitializing = 2 };
enum Result : uint32_t { Ok = 0, NoInterface = 0x80004002, Fail = 0x80004005 };

// Reading the options: `supported` is set for any identifier, `enabled` only for one of
// the four known interfaces.
uint32_t GetInterfaceSafetyOptions(const std::optional<QUuid>& iid, uint32_t& supported,
                                   uint32_t& enabled);
uint32_t SetInterfaceSafetyOptions(const std::optional<QUuid>& iid, uint32_t mask,
                                   uint32_t options);

} // namespace Automation
