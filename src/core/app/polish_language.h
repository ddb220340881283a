#pragma once

// The interface speaks Polish whatever the system's locale, Qt's own texts too (the file dialog,
// a text field's menu): Qt's Polish translations from the system, and Polish number formats.
namespace tovi::PolishLanguage {

// Installs Qt's Polish translations into the running application. False when the system has
// none (the package qt6-translations-l10n is missing); Qt's own texts then stay English.
bool install();

} // namespace tovi::PolishLanguage
