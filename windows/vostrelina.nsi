; Vostrelina's Windows installer, built by windows/build.sh with Debian's
; makensis, run in the staging folder the build fills (makensis -NOCD):
;   app\         the files installed, the Windows folder as it is shipped
;   files.nsh    their File and Delete lines, and their size (FILES_KB)
; and given, with /D, VERSION (the project's, as the configured build
; records it), ICON (the .ico CMake draws from our SVG) and OUTFILE.
;
; It installs per machine into Program Files\Vostrelina, adds a Start-menu
; shortcut, opens .ch8 and .c8 files with Vostrelina, and registers in Apps &
; features; the uninstaller takes all of it away again. /S runs either
; silently.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "files.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Vostrelina"
!define PUBLISHER "The Vostrelina developers"
; Our class of files: .ch8 and .c8 name it, and it names the program.
!define PROG_ID "Vostrelina.ROM"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vostrelina"
!define CLASSES "Software\Classes"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
; The installer's own texts say which NSIS built it; ours say who we are.
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the system's language when it is one of these; the
; first is the one for every other system: the program itself speaks French.
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "English"

LangString ROM_TYPE ${LANG_FRENCH} "ROM CHIP-8"
LangString ROM_TYPE ${LANG_ENGLISH} "CHIP-8 ROM"

; Makes EXTENSION open with our class, and offers our class among the
; programs it may be opened with.
!macro ASSOCIATE EXTENSION
    WriteRegStr HKLM "${CLASSES}\${EXTENSION}" "" "${PROG_ID}"
    WriteRegStr HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids" "${PROG_ID}" ""
!macroend

; Undoes ASSOCIATE, leaving the extension's default alone if something else
; has taken it over since.
!macro DISSOCIATE EXTENSION
    ReadRegStr $0 HKLM "${CLASSES}\${EXTENSION}" ""
    ${If} $0 == "${PROG_ID}"
        DeleteRegValue HKLM "${CLASSES}\${EXTENSION}" ""
    ${EndIf}
    DeleteRegValue HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids" "${PROG_ID}"
    DeleteRegKey /ifempty HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids"
    DeleteRegKey /ifempty HKLM "${CLASSES}\${EXTENSION}"
!macroend

; Tells Explorer that file associations changed, so icons and double clicks
; follow at once (SHCNE_ASSOCCHANGED).
!macro ASSOCIATIONS_CHANGED
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Function .onInit
    ; A 64-bit installer: the registry's and Program Files' 64-bit views.
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Vostrelina"
    SetOutPath "$INSTDIR"
    !insertmacro INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The shortcut starts the program in its folder (the output path), where
    ; it finds PONG2 when no ROM is named.
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vostrelina.exe" "" "$INSTDIR\vostrelina.exe" 0

    WriteRegStr HKLM "${CLASSES}\${PROG_ID}" "" "$(ROM_TYPE)"
    WriteRegStr HKLM "${CLASSES}\${PROG_ID}\DefaultIcon" "" "$INSTDIR\vostrelina.exe,0"
    ; The file's path in quotes: the program takes one quoted path whole,
    ; blanks included.
    WriteRegStr HKLM "${CLASSES}\${PROG_ID}\shell\open\command" "" '"$INSTDIR\vostrelina.exe" "%1"'
    !insertmacro ASSOCIATE ".ch8"
    !insertmacro ASSOCIATE ".c8"
    !insertmacro ASSOCIATIONS_CHANGED

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vostrelina.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB: the files' sizes, summed when the installer was built.
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${FILES_KB}
SectionEnd

Section "Uninstall"
    !insertmacro DELETE_FILES
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: files the user put there stay, and so does the folder.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"

    !insertmacro DISSOCIATE ".ch8"
    !insertmacro DISSOCIATE ".c8"
    DeleteRegKey HKLM "${CLASSES}\${PROG_ID}"
    !insertmacro ASSOCIATIONS_CHANGED

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
