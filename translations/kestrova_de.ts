<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CompleteDialog</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Do you want to cancel the transfer?</source>
        <translation>Möchten Sie die Übertragung abbrechen?</translation>
    </message>
    <message>
        <source>Stop copy</source>
        <translation>Ja, abbrechen</translation>
    </message>
    <message>
        <source>Go on</source>
        <translation>Weiter kopieren</translation>
    </message>
    <message>
        <source>Transfer Completed.</source>
        <translation>Übertragung abgeschlossen.</translation>
    </message>
    <message>
        <source>Please click &quot;Yes&quot; on your destination phone, 
or the program will skip copying SMS in %1 seconds.</source>
        <translation>Bitte tippen Sie auf dem Zieltelefon auf „Ja“, 
sonst überspringt das Programm die SMS in %1 Sekunden.</translation>
    </message>
    <message>
        <source>Transfer Completed.
Everything arrived on the destination phone.</source>
        <translation>Übertragung abgeschlossen.
Alles ist auf dem Zieltelefon angekommen.</translation>
    </message>
    <message>
        <source>Transfer finished, but not everything arrived:</source>
        <translation>Fertig, aber nicht alles ist angekommen:</translation>
    </message>
    <message>
        <source>and %1 more, listed in the progress window.</source>
        <translation>und %1 weitere, aufgeführt im Fortschrittsfenster.</translation>
    </message>
</context>
<context>
    <name>DebugAuthorizationWidget</name>
    <message>
        <source>Allow this computer</source>
        <translation>Diesen Computer zulassen</translation>
    </message>
    <message>
        <source>Your phone is asking whether it may be used from this computer. The question is on the phone&apos;s screen.</source>
        <translation>Ihr Telefon fragt, ob es von diesem Computer aus verwendet werden darf. Die Frage steht auf dem Bildschirm des Telefons.</translation>
    </message>
    <message>
        <source>Unlock your phone</source>
        <translation>Entsperren Sie Ihr Telefon</translation>
    </message>
    <message>
        <source>Wake the phone and unlock it so you can see the question.</source>
        <translation>Wecken Sie das Telefon auf und entsperren Sie es, damit Sie die Frage sehen.</translation>
    </message>
    <message>
        <source>Tick “Always allow”</source>
        <translation>Kreuzen Sie „Immer zulassen“ an</translation>
    </message>
    <message>
        <source>Tick Always allow from this computer, so it is not asked again.</source>
        <translation>Kreuzen Sie „Von diesem Computer immer zulassen“ an, damit nicht erneut gefragt wird.</translation>
    </message>
    <message>
        <source>Tap Allow</source>
        <translation>Tippen Sie auf „Zulassen“</translation>
    </message>
    <message>
        <source>Then press Retry below.</source>
        <translation>Drücken Sie dann unten auf „Erneut versuchen“.</translation>
    </message>
    <message>
        <source>Allow USB debugging?</source>
        <translation>USB-Debugging zulassen?</translation>
    </message>
    <message>
        <source>The computer&apos;s key fingerprint is shown here.</source>
        <translation>Hier steht der Fingerabdruck des Computerschlüssels.</translation>
    </message>
    <message>
        <source>Always allow from this computer</source>
        <translation>Von diesem Computer immer zulassen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Allow</source>
        <translation>Zulassen</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
</context>
<context>
    <name>GuidancePage</name>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Let this computer open the phone</source>
        <translation>Diesem Computer den Zugriff erlauben</translation>
    </message>
    <message>
        <source>The phone is connected and USB debugging is on, but Linux does not let this program use it: the rule that gives your user access to Android phones is missing.</source>
        <translation>Das Telefon ist verbunden und USB-Debugging ist an, aber Linux lässt dieses Programm nicht darauf zugreifen: Die Regel, die Ihrem Benutzer Zugriff auf Android-Telefone gibt, fehlt.</translation>
    </message>
    <message>
        <source>Install the rules for Android phones</source>
        <translation>Installieren Sie die Regeln für Android-Telefone</translation>
    </message>
    <message>
        <source>In a terminal: sudo apt install android-sdk-platform-tools-common (other systems: the package with the udev rules for Android).</source>
        <translation>In einem Terminal: sudo apt install android-sdk-platform-tools-common (andere Systeme: das Paket mit den udev-Regeln für Android).</translation>
    </message>
    <message>
        <source>Let your user use them</source>
        <translation>Erlauben Sie Ihrem Benutzer, sie zu verwenden</translation>
    </message>
    <message>
        <source>sudo usermod -aG plugdev $USER, then log out and in again.</source>
        <translation>sudo usermod -aG plugdev $USER, melden Sie sich dann ab und wieder an.</translation>
    </message>
    <message>
        <source>Plug the phone in again</source>
        <translation>Schließen Sie das Telefon erneut an</translation>
    </message>
    <message>
        <source>Unplug the cable, plug it back in, then press Retry below.</source>
        <translation>Ziehen Sie das Kabel ab, stecken Sie es wieder ein und drücken Sie dann unten auf „Erneut versuchen“.</translation>
    </message>
</context>
<context>
    <name>IphoneTrustWidget</name>
    <message>
        <source>Unlock your iPhone and tap Trust</source>
        <translation>Entsperren Sie Ihr iPhone und tippen Sie auf „Vertrauen“</translation>
    </message>
    <message>
        <source>1. Unlock the iPhone with its passcode.
2. When it asks &quot;Trust This Computer?&quot;, tap Trust and enter the passcode.
3. Keep the cable plugged in, then press Retry.</source>
        <translation>1. Entsperren Sie das iPhone mit seinem Code.
2. Wenn es fragt „Diesem Computer vertrauen?“, tippen Sie auf „Vertrauen“ und geben Sie den Code ein.
3. Lassen Sie das Kabel eingesteckt und drücken Sie dann auf „Erneut versuchen“.</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
</context>
<context>
    <name>KestrovaMainWidget</name>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Backup to copy from</source>
        <translation>Backup, aus dem kopiert wird</translation>
    </message>
    <message>
        <source>Backups</source>
        <translation>Backups</translation>
    </message>
    <message>
        <source>Please select an iTunes backup. If you can&apos;t find your backup file here, please select it from other folder on computer.</source>
        <translation>Bitte wählen Sie ein iTunes-Backup. Wenn Ihr Backup hier nicht aufgeführt ist, wählen Sie es aus einem anderen Ordner auf dem Computer.</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Chooses another folder with backups.</source>
        <translation>Wählt einen anderen Ordner mit Backups.</translation>
    </message>
    <message>
        <source>Flip</source>
        <translation>Tauschen</translation>
    </message>
    <message>
        <source>Swaps source and destination.</source>
        <translation>Vertauscht Quelle und Ziel.</translation>
    </message>
    <message>
        <source>Start copy</source>
        <translation>Kopieren starten</translation>
    </message>
    <message>
        <source>Copy again what is there</source>
        <translation>Vorhandenes neu kopieren</translation>
    </message>
    <message>
        <source>Items the destination already holds are skipped unless this is ticked.</source>
        <translation>Was das Ziel schon enthält, wird übersprungen, außer wenn dies angekreuzt ist.</translation>
    </message>
    <message>
        <source>Copy from a phone instead</source>
        <translation>Stattdessen von einem Telefon kopieren</translation>
    </message>
    <message>
        <source>Copy from an iTunes backup instead</source>
        <translation>Stattdessen aus einem iTunes-Backup kopieren</translation>
    </message>
    <message>
        <source>Source: </source>
        <translation>Quelle: </translation>
    </message>
    <message>
        <source>Destination: </source>
        <translation>Ziel: </translation>
    </message>
    <message>
        <source>Select Output Folder</source>
        <translation>Ordner auswählen</translation>
    </message>
    <message>
        <source>The iPhone is locked.</source>
        <translation>Das iPhone ist gesperrt.</translation>
    </message>
    <message>
        <source>The iPhone is asking whether to trust this computer.</source>
        <translation>Das iPhone fragt, ob es diesem Computer vertrauen soll.</translation>
    </message>
    <message>
        <source>&quot;Don&apos;t Trust&quot; was tapped: unplug the iPhone and plug it in again to be asked once more.</source>
        <translation>„Nicht vertrauen“ wurde getippt: Trennen Sie das iPhone und schließen Sie es wieder an, um erneut gefragt zu werden.</translation>
    </message>
    <message>
        <source>The iPhone no longer knows this computer.</source>
        <translation>Das iPhone kennt diesen Computer nicht mehr.</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Verbindung wird hergestellt …</translation>
    </message>
    <message>
        <source>Please connect a source 
phone by USB</source>
        <translation>Bitte schließen Sie ein Quelltelefon 
per USB an</translation>
    </message>
    <message>
        <source>More phones are connected 
than one destination. 
Please unplug the others.</source>
        <translation>Es sind mehr Telefone verbunden 
als ein Ziel. 
Bitte trennen Sie die anderen.</translation>
    </message>
    <message>
        <source>More than two phones 
are connected. 
Please unplug the others.</source>
        <translation>Mehr als zwei Telefone 
sind verbunden. 
Bitte trennen Sie die anderen.</translation>
    </message>
    <message>
        <source>Please connect a destination 
phone by USB</source>
        <translation>Bitte schließen Sie ein Zieltelefon 
per USB an</translation>
    </message>
    <message>
        <source>Copy to a phone instead</source>
        <translation>Stattdessen auf ein Telefon kopieren</translation>
    </message>
    <message>
        <source>Copy to a folder instead</source>
        <translation>Stattdessen in einen Ordner kopieren</translation>
    </message>
    <message>
        <source>Select the folder for the copy</source>
        <translation>Ordner für die Kopie wählen</translation>
    </message>
    <message>
        <source>Destination: a folder</source>
        <translation>Ziel: ein Ordner</translation>
    </message>
    <message>
        <source>The copy is saved as files in
%1</source>
        <translation>Die Kopie wird als Dateien gespeichert in
%1</translation>
    </message>
</context>
<context>
    <name>Kind</name>
    <message>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <source>SMS</source>
        <translation>SMS</translation>
    </message>
    <message>
        <source>Call Logs</source>
        <translation>Anrufe</translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation>Kalender</translation>
    </message>
    <message>
        <source>Photos</source>
        <translation>Fotos</translation>
    </message>
    <message>
        <source>Videos</source>
        <translation>Videos</translation>
    </message>
    <message>
        <source>Musics</source>
        <translation>Musik</translation>
    </message>
    <message>
        <source>Apps</source>
        <translation>Apps</translation>
    </message>
</context>
<context>
    <name>OpenUsbDebugWidget</name>
    <message>
        <source>Turn on USB debugging</source>
        <translation>USB-Debugging einschalten</translation>
    </message>
    <message>
        <source>Kestrova talks to an Android phone over USB debugging. It is off on new phones; switching it on takes a minute.</source>
        <translation>Kestrova spricht über USB-Debugging mit einem Android-Telefon. Auf neuen Telefonen ist es aus; es einzuschalten dauert eine Minute.</translation>
    </message>
    <message>
        <source>Show the developer options</source>
        <translation>Entwickleroptionen sichtbar machen</translation>
    </message>
    <message>
        <source>Open Settings › About phone and tap Build number seven times.</source>
        <translation>Öffnen Sie Einstellungen › Über das Telefon und tippen Sie siebenmal auf Build-Nummer.</translation>
    </message>
    <message>
        <source>Open the developer options</source>
        <translation>Entwickleroptionen öffnen</translation>
    </message>
    <message>
        <source>Go back to Settings › System › Developer options.</source>
        <translation>Gehen Sie zurück zu Einstellungen › System › Entwickleroptionen.</translation>
    </message>
    <message>
        <source>Switch on USB debugging</source>
        <translation>USB-Debugging einschalten</translation>
    </message>
    <message>
        <source>Turn on USB debugging, then press Next below.</source>
        <translation>Schalten Sie USB-Debugging ein und drücken Sie dann unten auf „Weiter“.</translation>
    </message>
    <message>
        <source>Developer options</source>
        <translation>Entwickleroptionen</translation>
    </message>
    <message>
        <source>Stay awake</source>
        <translation>Aktiv lassen</translation>
    </message>
    <message>
        <source>USB debugging</source>
        <translation>USB-Debugging</translation>
    </message>
    <message>
        <source>Wireless debugging</source>
        <translation>Debugging über WLAN</translation>
    </message>
    <message>
        <source>Show taps</source>
        <translation>Berührungen zeigen</translation>
    </message>
    <message>
        <source>Can&apos;t find USB debugging?</source>
        <translation>USB-Debugging nicht gefunden?</translation>
    </message>
    <message>
        <source>Opens the longer guide in the web browser.</source>
        <translation>Öffnet die ausführliche Anleitung im Webbrowser.</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
</context>
<context>
    <name>Outcome</name>
    <message>
        <source>Reading the iPhone: %1%</source>
        <translation>iPhone wird gelesen: %1 %</translation>
    </message>
    <message>
        <source>Unlocking the backup...</source>
        <translation>Backup wird entsperrt …</translation>
    </message>
    <message>
        <source>, %1 already there</source>
        <translation>, %1 bereits vorhanden</translation>
    </message>
    <message>
        <source> (%1 names too long for the phone were shortened)</source>
        <translation> (%1 für das Telefon zu lange Namen wurden gekürzt)</translation>
    </message>
    <message>
        <source>Failed: %1 of %2</source>
        <translation>Fehlgeschlagen: %1 von %2</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>Copying</source>
        <translation>Wird kopiert</translation>
    </message>
    <message>
        <source>Dry run: %1 to copy</source>
        <translation>Probelauf: %1 zu kopieren</translation>
    </message>
    <message>
        <source>Success: %1 copied</source>
        <translation>Erfolgreich: %1 kopiert</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>Erfolgreich</translation>
    </message>
    <message>
        <source>Skipped: %1 of %2</source>
        <translation>Übersprungen: %1 von %2</translation>
    </message>
    <message>
        <source>Skipped: %1</source>
        <translation>Übersprungen: %1</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>could not be read</source>
        <translation>konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>Copied %1 of %2</source>
        <translation>%1 von %2 kopiert</translation>
    </message>
    <message>
        <source>Cancelled before it started</source>
        <translation>Abgebrochen, bevor es begann</translation>
    </message>
    <message>
        <source>Cancelled: %1 of %2 copied</source>
        <translation>Abgebrochen: %1 von %2 kopiert</translation>
    </message>
    <message>
        <source> (1 text held a NUL byte, replaced)</source>
        <translation> (1 Text enthielt ein NUL-Byte, ersetzt)</translation>
    </message>
    <message>
        <source> (%1 texts held a NUL byte, replaced)</source>
        <translation> (%1 Texte enthielten ein NUL-Byte, ersetzt)</translation>
    </message>
</context>
<context>
    <name>PasswordDialog</name>
    <message>
        <source>The backup &quot;%1&quot; is encrypted.
Enter the password that was set for it:</source>
        <translation>Das Backup „%1“ ist verschlüsselt.
Geben Sie das Passwort dafür ein:</translation>
    </message>
    <message>
        <source>Backup password</source>
        <translation>Backup-Passwort</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Unlocking the backup...</source>
        <translation>Backup wird entsperrt …</translation>
    </message>
    <message>
        <source>Wrong password. Please try again.</source>
        <translation>Falsches Passwort. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>This backup cannot be unlocked: it is damaged.</source>
        <translation>Dieses Backup lässt sich nicht entsperren: Es ist beschädigt.</translation>
    </message>
    <message>
        <source>The iPhone &quot;%1&quot; encrypts its backups.
Enter its backup password to copy contacts, messages, calls and calendar:</source>
        <translation>Das iPhone „%1“ verschlüsselt seine Backups.
Geben Sie sein Backup-Passwort ein, um Kontakte, Nachrichten, Anrufe und Kalender zu kopieren:</translation>
    </message>
</context>
<context>
    <name>Reason</name>
    <message>
        <source>not accepted on the phone</source>
        <translation>auf dem Telefon nicht bestätigt</translation>
    </message>
    <message>
        <source>backup is encrypted (password needed)</source>
        <translation>Backup ist verschlüsselt (Passwort nötig)</translation>
    </message>
    <message>
        <source>the iPhone does not give out this data</source>
        <translation>das iPhone gibt diese Daten nicht heraus</translation>
    </message>
    <message>
        <source>source phone disconnected</source>
        <translation>Quelltelefon getrennt</translation>
    </message>
    <message>
        <source>destination phone disconnected</source>
        <translation>Zieltelefon getrennt</translation>
    </message>
    <message>
        <source>file missing</source>
        <translation>Datei fehlt</translation>
    </message>
    <message>
        <source>could not be read</source>
        <translation>konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>refused by the destination</source>
        <translation>vom Ziel abgelehnt</translation>
    </message>
    <message>
        <source>incomplete records</source>
        <translation>unvollständige Einträge</translation>
    </message>
    <message>
        <source>not supported by the source</source>
        <translation>von der Quelle nicht unterstützt</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>source not available</source>
        <translation>Quelle nicht verfügbar</translation>
    </message>
    <message>
        <source>not a plain file of the backup</source>
        <translation>keine gewöhnliche Datei des Backups</translation>
    </message>
    <message>
        <source>the backup was not finished</source>
        <translation>das Backup wurde nicht abgeschlossen</translation>
    </message>
    <message>
        <source>destination not available</source>
        <translation>Ziel nicht verfügbar</translation>
    </message>
    <message>
        <source>unlock the iPhone and tap Trust</source>
        <translation>iPhone entsperren und auf „Vertrauen“ tippen</translation>
    </message>
    <message>
        <source>the phone is in use by another copy</source>
        <translation>das Telefon wird von einem anderen Kopiervorgang benutzt</translation>
    </message>
    <message>
        <source>backup encryption is on (password needed)</source>
        <translation>Backup-Verschlüsselung ist an (Passwort nötig)</translation>
    </message>
    <message>
        <source>not enough free space on this computer for the iPhone&apos;s backup</source>
        <translation>zu wenig freier Platz auf diesem Computer für das Backup des iPhones</translation>
    </message>
    <message>
        <source>what the destination holds could not be read</source>
        <translation>der Inhalt des Ziels konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>wrong backup password</source>
        <translation>falsches Backup-Passwort</translation>
    </message>
    <message>
        <source>no password given</source>
        <translation>kein Passwort angegeben</translation>
    </message>
</context>
<context>
    <name>TransferProgressWidget</name>
    <message>
        <source>Copy Progress</source>
        <translation>Kopierfortschritt</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Asks before it stops the copy.</source>
        <translation>Fragt nach, bevor das Kopieren beendet wird.</translation>
    </message>
    <message>
        <source>Transferring data...
Please don&apos;t disconnect your phone.</source>
        <translation>Daten werden übertragen …
Bitte trennen Sie Ihr Telefon nicht.</translation>
    </message>
    <message>
        <source>Copy progress</source>
        <translation>Kopierfortschritt</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
</context>
<context>
    <name>topCtrlWidget</name>
    <message>
        <source>Phone to phone transfer</source>
        <translation>Übertragung von Telefon zu Telefon</translation>
    </message>
    <message>
        <source>Ver: %1</source>
        <translation>Ver. %1</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über Kestrova</translation>
    </message>
</context>
</TS>
