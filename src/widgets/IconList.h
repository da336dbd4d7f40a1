#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The icon list imlMain: a fixed list of icons compiled into the program,
// addressed by IconIndex (the IconIndex columns of AC_TOOLCFG and
// AC_GROUPCFG, the tray menu).  Every icon exists at 16x16 and 32x32; the
// images come from the Tango icon theme (Debian package tango-icon-theme).
// The order is fixed: stored configurations refer to these numbers, so new
// icons are only ever appended (src/widgets/CMakeLists.txt lists the files in
// the same order).
//
//  Index  Meaning                         Tango image
//   0     open-windows entry (window)     actions/window-new
//   1     open folder                     status/folder-open
//   2     user                            actions/contact-new
//   3     users, roles                    apps/system-users
//   4     password, lock                  emblems/emblem-readonly
//   5     exit program                    actions/system-shutdown
//   6     functions, rights               emblems/emblem-system
//   7     menu editor                     actions/format-justify-left
//   8     toolbar editor                  categories/preferences-desktop
//   9     main window, home               actions/go-home
//  10     settings, options               categories/preferences-system
//  11     calculator                      apps/accessories-calculator
//  12     notepad, text editor            apps/accessories-text-editor
//  13     log off                         actions/system-log-out
//  14     log in again                    actions/system-lock-screen
//  15     mail                            apps/internet-mail
//  16     print                           actions/document-print
//  17     print preview                   actions/document-print-preview
//  18     save                            actions/document-save
//  19     find                            actions/edit-find
//  20     refresh                         actions/view-refresh
//  21     database                        devices/drive-harddisk
//  22     backup                          devices/media-floppy
//  23     about, information              status/dialog-information
//  24     restore, undo                   actions/edit-undo
//  25     compress, compact               mimetypes/package-x-generic
//  26     company, home unit              places/user-home
//  27     dictionary                      mimetypes/x-office-address-book
//  28     sale records                    mimetypes/x-office-spreadsheet
//  29     customer entry                  actions/address-book-new
//  30     delete                          actions/edit-delete
//  31     add                             actions/list-add
//  32     edit, properties                actions/document-properties
//  33     skin, appearance                apps/preferences-desktop-theme
//  34     calendar                        apps/office-calendar
//  35     clock                           actions/appointment-new
//  36     log                             mimetypes/text-x-generic
//  37     computer, machine               devices/computer
//  38     group-bar editor, windows       apps/preferences-system-windows
//  39     report, print template          mimetypes/x-office-document
//  40     export, save as                 actions/document-save-as
//  41     help                            apps/help-browser
//  42     web page, link                  apps/internet-web-browser
//  43     warning                         status/dialog-warning
//  44     error                           status/dialog-error
//  45     stop, close                     actions/process-stop
//  46     folder                          places/folder
//  47     purge, waste bin                places/user-trash
//
// An index outside 0 … Count()-1 (-1 means "no icon") gives an empty icon.
class IconList
{
public:
    enum Index {
        OpenWindow = 0,
        OpenFolder,
        User,
        Roles,
        Password,
        Exit,
        Rights,
        MenuEditor,
        ToolbarEditor,
        MainWindow,
        Settings,
        Calculator,
        Notepad,
        LogOff,
        LogIn,
        Mail,
        Print,
        PrintPreview,
        Save,
        Find,
        Refresh,
        Database,
        Backup,
        About,
        Restore,
        Compress,
        Company,
        Dictionary,
        SaleRecords,
        CustomerEntry,
        Delete,
        Add,
        Edit,
        Skin,
        Calendar,
        Clock,
        Log,
        Computer,
        GroupBarEditor,
        Report,
        Export,
        Help,
        Web,
        Warning,
        Error,
        Close,
        Folder,
        Purge,
        IconCount
    };

    static int Count() { return IconCount; }
    // Both sizes in one icon (menus pick 16, tool buttons 32).
    static QIcon Icon(int index);
    static QPixmap Small(int index); // 16x16
    static QPixmap Large(int index); // 32x32
    // A short Chinese description, for icon pickers and tool tips.
    static QString Meaning(int index);
};
