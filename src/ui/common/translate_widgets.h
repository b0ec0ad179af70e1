// Translation of whole windows: the captions and hints of a form's controls and the items of its menu
// bar pass through Translate in place. Called once by each window after it is built, when the language
// is not Russian. Window thread only.
#pragma once

class QMenuBar;
class QWidget;

namespace velmora {

// The widget's own title when it is a window, then recursively its children: buttons (push, check,
// radio), labels and group boxes get text and tooltip translated; frames (panels) and tab pages their
// tooltip; tab widgets their tab texts and tooltips. Edits, memos, lists and spin boxes keep their
// content, and so do the items of combo boxes and every widget marked as a data field.
void TranslateControl(QWidget* control);
// Marks a label or button whose text is data (a client's name, a log file, a port, a rate): it is never
// translated, so a Russian client name is neither changed nor collected into the dictionary.
void MarkAsDataField(QWidget* widget);
bool IsDataField(const QWidget* widget);
// The titles of the menus and the texts of their items, three levels deep.
void TranslateMenu(QMenuBar* menu);

} // namespace velmora
