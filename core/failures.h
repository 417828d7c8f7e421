#pragma once

#include <QString>

#include <stdexcept>

// The descriptions a failure gives for itself when it is not the database
// engine's: the standard wording of the arithmetic, conversion and object
// failures the user may see in a failure report, each named once for the code
// and the tests.
namespace Failure {

inline const QString overflow = QStringLiteral("Overflow");
inline const QString divisionByZero = QStringLiteral("Division by zero");
inline const QString invalidUseOfNull = QStringLiteral("Invalid use of Null");
inline const QString typeMismatch = QStringLiteral("Type mismatch");
inline const QString invalidPicture = QStringLiteral("Invalid picture");
inline const QString unsupportedMember =
    QStringLiteral("Object doesn't support this property or method");
inline const QString argumentNotOptional = QStringLiteral("Argument not optional");
inline const QString objectNotSet =
    QStringLiteral("Object variable or With block variable not set");

// Fails with the description, which a step's report then shows as it is.
[[noreturn]] inline void raise(const QString& description)
{
    throw std::runtime_error(description.toStdString());
}

} // namespace Failure
