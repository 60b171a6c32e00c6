/* The resource ids of the wizard: the dialog templates with their controls,
 * and, through base/text_ids.h, the base ids of the text catalogue. Read by
 * the resource compiler and by C++, so it holds #defines only.
 *
 * Ids are fixed numbers; other programs, test drivers and the translations
 * rely on them, so never renumber. Control ids repeat across dialogs (1007 is
 * a label on the language page and a radio button on the port page): each
 * name carries the prefix of its dialog.
 *
 * Access keys: the wizard frame's own buttons (Back, Next, Finish, Cancel)
 * come from the platform and are not counted here. Japanese keys follow the
 * text in parentheses, as in "(&R)".
 */
#ifndef FWDL_UI_TEXTS_RESOURCE_IDS_H
#define FWDL_UI_TEXTS_RESOURCE_IDS_H

#include "base/text_ids.h"

/* ---- Dialog templates ------------------------------------------------- */

#define IDD_PORT_PAGE      107  /* wizard page 1: USB or network */
#define IDD_NETWORK_PAGE   108  /* wizard page 2: network printer list */
#define IDD_USB_PAGE       109  /* wizard page 3: USB printer list */
#define IDD_LANGUAGE_PAGE  111  /* wizard page 0: language and package */
#define IDD_ADD_PRINTER    139  /* modal: add a network printer by address */
#define IDD_PROGRESS       141  /* modal: transfer progress */

/* ---- Language page (111) ------------------------------------------------
 * Access keys used: none (English and Japanese). The template's Add and
 * Delete buttons (A, D) are hidden for good and take no catalogue text. */
#define IDC_LANG_PACKAGE_LIST  1000  /* list view, report: the package entries */
#define IDC_LANG_MODEL_LABEL   1001  /* static: text 102 */
#define IDC_LANG_MODEL_NAME    1002  /* static: ModelName from the package */
#define IDC_LANG_ADD           1003  /* push button, hidden, never used */
#define IDC_LANG_DELETE        1004  /* push button, hidden, never used */
#define IDC_LANG_COMBO         1006  /* drop-down list: English, Japanese */
#define IDC_LANG_HINT          1007  /* static: text 108 */
#define IDC_LANG_GROUP         1010  /* group box: text 142 */
#define IDC_LANG_SIGNATURE     1040  /* static: text 960, or 961 + signer + 962 + time */

/* ---- Port page (107) ----------------------------------------------------
 * Access keys used: none (English and Japanese). */
#define IDC_PORT_NETWORK       1007  /* auto radio, first of its group: text 109 */
#define IDC_PORT_USB           1008  /* auto radio: text 110 */
#define IDC_PORT_GROUP         1009  /* group box: text 143 */
#define IDC_PORT_NETWORK_NOTE  1034  /* static: text 111 */
#define IDC_PORT_USB_NOTE      1035  /* static: text 112 */

/* ---- Network list page (108) --------------------------------------------
 * Access keys used: English R (Refresh), A (Add ...);
 *                   Japanese R (表示を更新(&R)), A (追加(&A)...). */
#define IDC_NET_MODULE_NAME    1012  /* read-only edit: ModuleName */
#define IDC_NET_LIST           1013  /* list view, report, check boxes at run time */
#define IDC_NET_REFRESH        1014  /* push button: text 114 */
#define IDC_NET_ADD            1015  /* push button: text 115 */
#define IDC_NET_COMMUNITY_LABEL 1016 /* static, right-aligned: text 113 */
#define IDC_NET_COMMUNITY      1017  /* edit: SNMP community, up to 32 characters */
#define IDC_NET_LINE1          1028  /* static: text 200 + " " + 912, or 202 */
#define IDC_NET_LINE2          1029  /* static: text 201, or 203 */
#define IDC_NET_MODULE_LABEL   1030  /* static: text 204 */

/* ---- USB list page (109) -------------------------------------------------
 * Access keys used: English R (Refresh); Japanese R (表示を更新(&R)). */
#define IDC_USB_REFRESH        1018  /* push button: text 114 */
#define IDC_USB_LIST           1020  /* list view, report, check boxes at run time */
#define IDC_USB_MODULE_LABEL   1021  /* static: text 204 */
#define IDC_USB_MODULE_NAME    1022  /* read-only edit: ModuleName */
#define IDC_USB_LINE1          1036  /* static: text 200 + " " + 912, or 202 */
#define IDC_USB_LINE2          1037  /* static: text 201, or 203 */

/* ---- Add network printer dialog (139) ------------------------------------
 * Access keys used: English O (OK), C (Cancel);
 *                   Japanese O (OK(&O)), C (キャンセル(&C)). */
#define IDC_ADD_OK             1     /* IDOK, default push button: text 127 */
#define IDC_ADD_CANCEL         2     /* IDCANCEL: text 128 */
#define IDC_ADD_IPV4_ADDRESS   1024  /* IP address control */
#define IDC_ADD_IPV4           1025  /* auto radio: text 125 */
#define IDC_ADD_IPV6           1026  /* auto radio, first of its group: text 126 */
#define IDC_ADD_IPV6_ADDRESS   1027  /* edit, at most 42 characters */

/* ---- Progress window (141) -----------------------------------------------
 * Access keys used: English C (Cancel); Japanese C (キャンセル(&C)). */
#define IDC_PROGRESS_CANCEL    2     /* IDCANCEL: text 128 */
#define IDC_PROGRESS_STATUS    1031  /* static, centred: text 206 */
#define IDC_PROGRESS_PRINTER   1032  /* static, centred: text 207 + the printer */
#define IDC_PROGRESS_BAR       1033  /* progress bar, 0 to 100 */

#endif
