#pragma once

class QWidget;

// Re-skins a dialog's standard controls so none of them paints an opaque box over the skin:
// every QLabel and QGroupBox gets a CTransparentStatic, every QRadioButton a CRecordRedioBtn,
// every QCheckBox a CSkinCheckBox. Controls are skinned in place (pointers, connections and
// control ids stay valid); controls already skinned, labels showing a picture or rich text,
// Qt's own internal widgets and widgets of other windows are left alone. Call it once the
// dialog's controls exist; calling it again skins only controls added since.
void SkinDialogControls(QWidget* dialog);
