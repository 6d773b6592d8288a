<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Registration</name>
    <message>
        <source>Error adding command %1 for Device Template%2. <byte value="xd"/>
ComponentApp was not created.</source>
        <translation>Fehler beim Hinzufügen des Befehls %1 zur Gerätevorlage %2. <byte value="xd"/>
ComponentApp wurde nicht angelegt.</translation>
    </message>
    <message>
        <source>%1<byte value="xd"/>
Adding command %2 for %3 objects...</source>
        <translation>%1<byte value="xd"/>
Befehl %2 für %3-Objekte wird hinzugefügt...</translation>
    </message>
    <message>
        <source>%1<byte value="xd"/>
Deregister Command %2...</source>
        <translation>%1<byte value="xd"/>
Befehl %2 wird abgemeldet...</translation>
    </message>
    <message>
        <source>The device template &apos;%1&apos; is no longer referenced by any device in the current network. Do you want to remove the device template from the template library?</source>
        <translation>Die Gerätevorlage &apos;%1&apos; wird von keinem Gerät des aktuellen Netzwerks mehr verwendet. Soll sie aus der Vorlagenbibliothek entfernt werden?</translation>
    </message>
    <message>
        <source>Unable to remove the device template: %1</source>
        <translation>Die Gerätevorlage konnte nicht entfernt werden: %1</translation>
    </message>
    <message>
        <source>%1 cannot be started: %2</source>
        <translation>%1 kann nicht gestartet werden: %2</translation>
    </message>
    <message>
        <source>%1 did not end within %2 seconds.</source>
        <translation>%1 wurde nicht innerhalb von %2 Sekunden beendet.</translation>
    </message>
    <message>
        <source>The file %1 could not be found.</source>
        <translation>Die Datei %1 wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The file %1 could not be found.<byte value="xd"/>
%2</source>
        <translation>Die Datei %1 wurde nicht gefunden.<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>Cannot Export Database</source>
        <translation>Datenbank kann nicht exportiert werden</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be registered: %2</source>
        <translation>Das Plug-in %1 konnte nicht registriert werden: %2</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be deregistered: %2</source>
        <translation>Das Plug-in %1 konnte nicht abgemeldet werden: %2</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be registered: the registry file %2 cannot be read as a registry</source>
        <translation>Das Plug-in %1 konnte nicht registriert werden: die Registrierungsdatei %2 ist nicht lesbar</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be deregistered: the registry file %2 cannot be read as a registry</source>
        <translation>Das Plug-in %1 konnte nicht abgemeldet werden: die Registrierungsdatei %2 ist nicht lesbar</translation>
    </message>
    <message>
        <source>Plug-in %1 registration as COM server failed</source>
        <translation>Die Registrierung des Plug-ins %1 als COM-Server ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>A newer version of this plug-in is already registered</source>
        <translation>Eine neuere Version dieses Plug-ins ist bereits registriert</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be registered: the registry key HKEY_LOCAL_MACHINE\%2 could not be written</source>
        <translation>Das Plug-in %1 konnte nicht registriert werden: der Registrierungsschlüssel HKEY_LOCAL_MACHINE\%2 konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Updated version of plug-in registered as %1</source>
        <translation>Aktualisierte Version des Plug-ins registriert als %1</translation>
    </message>
    <message>
        <source>Plug-in registered as %1</source>
        <translation>Plug-in registriert als %1</translation>
    </message>
    <message>
        <source>Plug-in %1 deregistration as COM server failed<byte value="xd"/>Verify that there are not instances running<byte value="xd"/>%2</source>
        <translation>Die Abmeldung des Plug-ins %1 als COM-Server ist fehlgeschlagen<byte value="xd"/>Prüfen Sie, dass keine Instanzen laufen<byte value="xd"/>%2</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be deregistered: the registry key HKEY_LOCAL_MACHINE\%2 could not be deleted</source>
        <translation>Das Plug-in %1 konnte nicht abgemeldet werden: der Registrierungsschlüssel HKEY_LOCAL_MACHINE\%2 konnte nicht gelöscht werden</translation>
    </message>
    <message>
        <source>Plug-in %1 deregistered</source>
        <translation>Plug-in %1 abgemeldet</translation>
    </message>
    <message>
        <source>Plug-in %1 does not exisit in the Windows registery</source>
        <translation>Das Plug-in %1 ist in der Windows-Registrierung nicht vorhanden</translation>
    </message>
    <message>
        <source>Plug-in %1 could not be deregistered: its commands could not be removed from the network %2<byte value="xd"/>%3</source>
        <translation>Das Plug-in %1 konnte nicht abgemeldet werden: seine Befehle konnten nicht aus dem Netzwerk %2 entfernt werden<byte value="xd"/>%3</translation>
    </message>
    <message>
        <source>Register this Plug-In on the LNS Server computer to ensure all resource files required by this Plug-In are available to the server. Failure to do so may cause unexpected errors.</source>
        <translation>Registrieren Sie dieses Plug-in auf dem Rechner des LNS-Servers, damit alle Ressourcendateien, die es benötigt, dem Server zur Verfügung stehen. Andernfalls kann es zu unerwarteten Fehlern kommen.</translation>
    </message>
</context>
<context>
    <name>Rules</name>
    <message>
        <source>%1 cannot be set</source>
        <translation>%1 kann nicht gesetzt werden</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not one of %3</source>
        <translation>%1: „%2“ ist keiner der Werte %3</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a whole number</source>
        <translation>%1: „%2“ ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a number</source>
        <translation>%1: „%2“ ist keine Zahl</translation>
    </message>
    <message>
        <source>%1: %2 is out of range, the maximum allowed value is %3</source>
        <translation>%1: %2 liegt außerhalb des Bereichs, der größte zulässige Wert ist %3</translation>
    </message>
    <message>
        <source>%1: %2 is out of range, the minimum allowed value is %3</source>
        <translation>%1: %2 liegt außerhalb des Bereichs, der kleinste zulässige Wert ist %3</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 must be at least %2 above %3</source>
        <translation>%1 muss mindestens %2 über %3 liegen</translation>
    </message>
    <message>
        <source>%1 is above %2</source>
        <translation>%1 liegt über %2</translation>
    </message>
    <message>
        <source>%1 is below %2</source>
        <translation>%1 liegt unter %2</translation>
    </message>
    <message>
        <source>Field %1 of %2 cannot be written back as the device holds it.</source>
        <translation>Feld %1 von %2 kann nicht so zurückgeschrieben werden, wie das Gerät es hält.</translation>
    </message>
    <message>
        <source>%1: model %2 does not have it</source>
        <translation>%1: Modell %2 hat diese Einstellung nicht</translation>
    </message>
    <message>
        <source>%1: %2 is finer than the device holds (steps of %3)</source>
        <translation>%1: %2 ist feiner, als das Gerät speichert (Schritte von %3)</translation>
    </message>
    <message>
        <source>%1: the device would hold %2, above the maximum %3</source>
        <translation>%1: das Gerät würde %2 speichern, über dem Höchstwert %3</translation>
    </message>
    <message>
        <source>%1: the device would hold %2, below the minimum %3</source>
        <translation>%1: das Gerät würde %2 speichern, unter dem Mindestwert %3</translation>
    </message>
</context>
<context>
    <name>Runtime</name>
    <message>
        <source>Error reading %1 <byte value="xd"/>
%2</source>
        <translation>Fehler beim Lesen von %1 <byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>Error updating %1 <byte value="xd"/>
%2</source>
        <translation>Fehler beim Aktualisieren von %1 <byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>Overflow</source>
        <translation>Überlauf</translation>
    </message>
    <message>
        <source>Subscript out of range</source>
        <translation>Index außerhalb des gültigen Bereichs</translation>
    </message>
    <message>
        <source>Division by zero</source>
        <translation>Division durch Null</translation>
    </message>
    <message>
        <source>Type mismatch</source>
        <translation>Typen unverträglich</translation>
    </message>
    <message>
        <source>Object variable not set</source>
        <translation>Objektvariable nicht festgelegt</translation>
    </message>
    <message>
        <source>This key is already associated with an element of this collection</source>
        <translation>Dieser Schlüssel ist bereits einem Element dieser Auflistung zugeordnet</translation>
    </message>
    <message>
        <source>Application-defined or object-defined error</source>
        <translation>Anwendungs- oder objektdefinierter Fehler</translation>
    </message>
    <message>
        <source>Type mismatch: the model code &apos;%1&apos; is not a number</source>
        <translation>Typen unverträglich: der Modellcode &apos;%1&apos; ist keine Zahl</translation>
    </message>
    <message>
        <source>Object variable or With block variable not set</source>
        <translation>Objektvariable oder With-Blockvariable nicht festgelegt</translation>
    </message>
    <message>
        <source>Failed to communicate with target device.</source>
        <translation>Die Kommunikation mit dem Zielgerät ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Failed to write data to the network variable object.</source>
        <translation>Die Daten konnten nicht in das Netzwerkvariablen-Objekt geschrieben werden.</translation>
    </message>
    <message>
        <source>An attempt to format the requested data has failed.</source>
        <translation>Die angeforderten Daten konnten nicht formatiert werden.</translation>
    </message>
</context>
<context>
    <name>SetpointBand</name>
    <message>
        <source>max</source>
        <translation>max</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message>
        <source>occ heat</source>
        <translation>bel. heizen</translation>
    </message>
    <message>
        <source>occ cool</source>
        <translation>bel. kühlen</translation>
    </message>
    <message>
        <source>unocc heat</source>
        <translation>unbel. heizen</translation>
    </message>
    <message>
        <source>unocc cool</source>
        <translation>unbel. kühlen</translation>
    </message>
    <message>
        <source>Set-point scale: no set point read.</source>
        <translation>Sollwertskala: kein Sollwert gelesen.</translation>
    </message>
    <message>
        <source>Set-point scale from %1 to %2.</source>
        <translation>Sollwertskala von %1 bis %2.</translation>
    </message>
    <message>
        <source>%1: %2, out of its range.</source>
        <translation>%1: %2, außerhalb seines Bereichs.</translation>
    </message>
    <message>
        <source>%1: %2, breaks a rule between the set points.</source>
        <translation>%1: %2, verletzt eine Regel zwischen den Sollwerten.</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>Occupied dead band from %1 to %2, narrower than the dead band allows.</source>
        <translation>Totzone belegt von %1 bis %2, schmaler als die Totzone erlaubt.</translation>
    </message>
    <message>
        <source>Occupied dead band from %1 to %2.</source>
        <translation>Totzone belegt von %1 bis %2.</translation>
    </message>
    <message>
        <source>Set-point scale</source>
        <translation>Sollwertskala</translation>
    </message>
</context>
<context>
    <name>fHidden</name>
    <message>
        <source>Locate the XIF file with Program ID %1</source>
        <translation>XIF-Datei mit der Programm-ID %1 suchen</translation>
    </message>
    <message>
        <source>External Interface Files (*.XIF)|*.XIF</source>
        <translation>Schnittstellendateien (*.XIF)|*.XIF</translation>
    </message>
</context>
<context>
    <name>fLog</name>
    <message>
        <source>Action canceled by user</source>
        <translation>Aktion vom Benutzer abgebrochen</translation>
    </message>
    <message>
        <source>Network activity logging</source>
        <translation>Protokoll der Netzwerkaktivität</translation>
    </message>
    <message>
        <source>Show on error</source>
        <translation>Bei Fehler anzeigen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Clea&amp;r</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>Save As...</source>
        <translation>Speichern unter...</translation>
    </message>
    <message>
        <source>Comma separated values (*.csv) |*.csv | All Files (*.*) | *.*</source>
        <translation>Kommagetrennte Werte (*.csv) |*.csv | Alle Dateien (*.*) | *.*</translation>
    </message>
    <message>
        <source>File already exists, override?</source>
        <translation>Die Datei existiert bereits. Überschreiben?</translation>
    </message>
    <message>
        <source>Clear Log file ?</source>
        <translation>Protokoll leeren?</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Aktion</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Ergebnis</translation>
    </message>
</context>
<context>
    <name>fMain</name>
    <message>
        <source>Occupied heating setpoint</source>
        <translation>Heizsollwert belegt</translation>
    </message>
    <message>
        <source>Unoccupied heating setpoint</source>
        <translation>Heizsollwert unbelegt</translation>
    </message>
    <message>
        <source>Occupied cooling setpoint</source>
        <translation>Kühlsollwert belegt</translation>
    </message>
    <message>
        <source>Unoccupied cooling setpoint</source>
        <translation>Kühlsollwert unbelegt</translation>
    </message>
    <message>
        <source>Maximum heating setpoint limit</source>
        <translation>Obergrenze der Heizsollwerte</translation>
    </message>
    <message>
        <source>Minimum cooling setpoint limit</source>
        <translation>Untergrenze der Kühlsollwerte</translation>
    </message>
    <message>
        <source>Dead Band</source>
        <translation>Totzone</translation>
    </message>
    <message>
        <source>Floating actuator timing</source>
        <translation>Laufzeit des Dreipunktantriebs</translation>
    </message>
    <message>
        <source>Room sensor offset</source>
        <translation>Korrektur des Raumfühlers</translation>
    </message>
    <message>
        <source>RH Setpoints</source>
        <translation>rF-Sollwert</translation>
    </message>
    <message>
        <source>Dehumidifiacation hysteresis</source>
        <translation>Hysterese der Entfeuchtung</translation>
    </message>
    <message>
        <source>Dehumidifiacation maximum cooling output</source>
        <translation>Höchste Kühlleistung beim Entfeuchten</translation>
    </message>
    <message>
        <source>RH sensor calibration offset</source>
        <translation>Korrektur des Feuchtefühlers</translation>
    </message>
    <message>
        <source>Temporary occupied time</source>
        <translation>Zeit der vorübergehenden Belegung</translation>
    </message>
    <message>
        <source>Door Time</source>
        <translation>Türzeit</translation>
    </message>
    <message>
        <source>Output heartbeat</source>
        <translation>Sende-Heartbeat</translation>
    </message>
    <message>
        <source>Output trottle</source>
        <translation>Sendedrosselung</translation>
    </message>
    <message>
        <source>Input heartbeat</source>
        <translation>Empfangs-Heartbeat</translation>
    </message>
    <message>
        <source>degrees Celsius</source>
        <translation>Grad Celsius</translation>
    </message>
    <message>
        <source>degrees Fahrenheit</source>
        <translation>Grad Fahrenheit</translation>
    </message>
    <message>
        <source>percent</source>
        <translation>Prozent</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>Hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>Stunden</translation>
    </message>
    <message>
        <source>Sec</source>
        <translation>Sek</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Read only.</source>
        <translation>Nur lesbar.</translation>
    </message>
    <message>
        <source>A number from %1 to %2, whole numbers only.</source>
        <translation>Eine Zahl von %1 bis %2, nur ganze Zahlen.</translation>
    </message>
    <message>
        <source>A number from %1 to %2.</source>
        <translation>Eine Zahl von %1 bis %2.</translation>
    </message>
    <message>
        <source>In %1, from %2 to %3, whole numbers only.</source>
        <translation>In %1, von %2 bis %3, nur ganze Zahlen.</translation>
    </message>
    <message>
        <source>In %1, from %2 to %3.</source>
        <translation>In %1, von %2 bis %3.</translation>
    </message>
    <message>
        <source>One of %1.</source>
        <translation>Einer von %1.</translation>
    </message>
    <message>
        <source>&amp;Heating - Cooling</source>
        <translation>&amp;Heizen - Kühlen</translation>
    </message>
    <message>
        <source>Heating</source>
        <translation>Heizen</translation>
    </message>
    <message>
        <source>Occupied</source>
        <translation>Belegt</translation>
    </message>
    <message>
        <source>Unoccupied</source>
        <translation>Unbelegt</translation>
    </message>
    <message>
        <source>Maximum limit</source>
        <translation>Obergrenze</translation>
    </message>
    <message>
        <source>Cooling</source>
        <translation>Kühlen</translation>
    </message>
    <message>
        <source>Minimum limit</source>
        <translation>Untergrenze</translation>
    </message>
    <message>
        <source>Setpoint options</source>
        <translation>Sollwertoptionen</translation>
    </message>
    <message>
        <source>Setpoint type</source>
        <translation>Sollwertart</translation>
    </message>
    <message>
        <source>Common Options</source>
        <translation>Allgemeine Optionen</translation>
    </message>
    <message>
        <source>Cycle Per Hour</source>
        <translation>Zyklen pro Stunde</translation>
    </message>
    <message>
        <source>Heating cooling minimum setpoint deadband</source>
        <translation>Mindesttotzone zwischen Heiz- und Kühlsollwert</translation>
    </message>
    <message>
        <source>&amp;General</source>
        <translation>&amp;Allgemein</translation>
    </message>
    <message>
        <source>System type</source>
        <translation>Anlagenart</translation>
    </message>
    <message>
        <source>Temporary Occ Time</source>
        <translation>Vorübergehende Belegung</translation>
    </message>
    <message>
        <source>Fan mode sequence and menu</source>
        <translation>Lüfterstufen und Menü</translation>
    </message>
    <message>
        <source>Door time</source>
        <translation>Türzeit</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Anzeige</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>Skala</translation>
    </message>
    <message>
        <source>Display scale</source>
        <translation>Temperaturskala der Anzeige</translation>
    </message>
    <message>
        <source>Menu Scroll</source>
        <translation>Menü blättern</translation>
    </message>
    <message>
        <source>Auto Function</source>
        <translation>Automatikfunktion</translation>
    </message>
    <message>
        <source>Sequence of operations</source>
        <translation>Betriebsfolge</translation>
    </message>
    <message>
        <source>&amp;Hardware</source>
        <translation>Ha&amp;rdware</translation>
    </message>
    <message>
        <source>Inputs</source>
        <translation>Eingänge</translation>
    </message>
    <message>
        <source>Binary Input #1</source>
        <translation>Binäreingang 1</translation>
    </message>
    <message>
        <source>Digital Input #2</source>
        <translation>Digitaleingang 2</translation>
    </message>
    <message>
        <source>Universal Input #3</source>
        <translation>Universaleingang 3</translation>
    </message>
    <message>
        <source>Temperature sensor calibration</source>
        <translation>Abgleich des Temperaturfühlers</translation>
    </message>
    <message>
        <source>Auxiliary Contacts</source>
        <translation>Hilfskontakte</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>Auxiliary contacts configuration</source>
        <translation>Konfiguration der Hilfskontakte</translation>
    </message>
    <message>
        <source>Reheat time base</source>
        <translation>Zeitbasis der Nachheizung</translation>
    </message>
    <message>
        <source>Outputs</source>
        <translation>Ausgänge</translation>
    </message>
    <message>
        <source>Control Type</source>
        <translation>Regelungsart</translation>
    </message>
    <message>
        <source>Reverse AO action</source>
        <translation>Analogausgang umkehren</translation>
    </message>
    <message>
        <source>RH &amp;Options</source>
        <translation>rF-&amp;Optionen</translation>
    </message>
    <message>
        <source>Dehumidification</source>
        <translation>Entfeuchtung</translation>
    </message>
    <message>
        <source>Setpoint</source>
        <translation>Sollwert</translation>
    </message>
    <message>
        <source>Hysteresis</source>
        <translation>Hysterese</translation>
    </message>
    <message>
        <source>Max Cooling output</source>
        <translation>Höchste Kühlleistung</translation>
    </message>
    <message>
        <source>Display relative humidity</source>
        <translation>Relative Feuchte anzeigen</translation>
    </message>
    <message>
        <source>RH sensor calibration</source>
        <translation>Abgleich des Feuchtefühlers</translation>
    </message>
    <message>
        <source>&amp;Network</source>
        <translation>&amp;Netzwerk</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Heartbeat</source>
        <translation>Heartbeat</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgang</translation>
    </message>
    <message>
        <source>Trottle</source>
        <translation>Drosselung</translation>
    </message>
    <message>
        <source>Contact</source>
        <translation>Kontakt</translation>
    </message>
    <message>
        <source>C&amp;ontact</source>
        <translation>&amp;Kontakt</translation>
    </message>
    <message>
        <source>A&amp;bout</source>
        <translation>In&amp;fo</translation>
    </message>
    <message>
        <source>Thermostat</source>
        <translation>Thermostat</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modell</translation>
    </message>
    <message>
        <source>Thermostat model</source>
        <translation>Thermostatmodell</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Thermostat version</source>
        <translation>Thermostatversion</translation>
    </message>
    <message>
        <source>Ostrane Module</source>
        <translation>Ostrane-Modul</translation>
    </message>
    <message>
        <source>Major Version</source>
        <translation>Hauptversion</translation>
    </message>
    <message>
        <source>Minor Version</source>
        <translation>Unterversion</translation>
    </message>
    <message>
        <source>Plug-in version</source>
        <translation>Plug-in-Version</translation>
    </message>
    <message>
        <source>Undefined model</source>
        <translation>Unbekanntes Modell</translation>
    </message>
    <message>
        <source>Plug-In Display Units</source>
        <translation>Anzeigeeinheiten des Plug-ins</translation>
    </message>
    <message>
        <source>&amp;Metric</source>
        <translation>&amp;Metrisch</translation>
    </message>
    <message>
        <source>&amp;Imperial</source>
        <translation>&amp;Imperial</translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation>&amp;Übernehmen</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>&amp;Refresh All</source>
        <translation>Alles neu l&amp;esen</translation>
    </message>
    <message>
        <source>View &amp;Log</source>
        <translation>&amp;Protokoll anzeigen</translation>
    </message>
    <message>
        <source>Hel&amp;p</source>
        <translation>Hi&amp;lfe</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Model code to try</source>
        <translation>Zu testender Modellcode</translation>
    </message>
    <message>
        <source>Debug</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>There are changes that have not been applied to %1. Apply them to that device first?</source>
        <translation>Es gibt Änderungen, die noch nicht auf %1 übernommen wurden. Zuerst auf dieses Gerät übernehmen?</translation>
    </message>
    <message>
        <source>Unable to set the Mode for the LonMark Objects, do you want to proceed?</source>
        <translation>Der Modus der LonMark-Objekte konnte nicht gesetzt werden. Trotzdem fortfahren?</translation>
    </message>
    <message>
        <source>Are you sure that you want to exit?</source>
        <translation>Wirklich beenden?</translation>
    </message>
    <message>
        <source>%1 out of range<byte value="xd"/>
<byte value="xd"/>
The maximum allowed value is: %2<byte value="xd"/>
<byte value="xd"/>
The value has been adjusted</source>
        <translation>%1 außerhalb des Bereichs<byte value="xd"/>
<byte value="xd"/>
Der größte zulässige Wert ist: %2<byte value="xd"/>
<byte value="xd"/>
Der Wert wurde angepasst</translation>
    </message>
    <message>
        <source>%1 out of range<byte value="xd"/>
<byte value="xd"/>
The minimum allowed value is: %2<byte value="xd"/>
<byte value="xd"/>
The value has been adjusted</source>
        <translation>%1 außerhalb des Bereichs<byte value="xd"/>
<byte value="xd"/>
Der kleinste zulässige Wert ist: %2<byte value="xd"/>
<byte value="xd"/>
Der Wert wurde angepasst</translation>
    </message>
    <message>
        <source>Testing the device...</source>
        <translation>Gerät wird getestet...</translation>
    </message>
    <message>
        <source>Reading the device state...</source>
        <translation>Gerätezustand wird gelesen...</translation>
    </message>
    <message>
        <source>Error closing the catalog</source>
        <translation>Fehler beim Schließen des Katalogs</translation>
    </message>
    <message>
        <source>The deadband limitation was not respected.<byte value="xd"/>
<byte value="xd"/>
Adjustment where made</source>
        <translation>Die Totzone wurde nicht eingehalten.<byte value="xd"/>
<byte value="xd"/>
Die Werte wurden angepasst</translation>
    </message>
    <message>
        <source>Heating maximum limit was not respected.<byte value="xd"/>
<byte value="xd"/>
Adjustment where made</source>
        <translation>Die Obergrenze der Heizsollwerte wurde nicht eingehalten.<byte value="xd"/>
<byte value="xd"/>
Die Werte wurden angepasst</translation>
    </message>
    <message>
        <source>Cooling minimum limit was not respected.<byte value="xd"/>
<byte value="xd"/>
Adjustment where made</source>
        <translation>Die Untergrenze der Kühlsollwerte wurde nicht eingehalten.<byte value="xd"/>
<byte value="xd"/>
Die Werte wurden angepasst</translation>
    </message>
    <message>
        <source>Value must be numerical</source>
        <translation>Der Wert muss eine Zahl sein</translation>
    </message>
    <message>
        <source>Invalid value</source>
        <translation>Ungültiger Wert</translation>
    </message>
    <message>
        <source>This action will discard all changes<byte value="xd"/>
<byte value="xd"/>
Proceed and lose all changes ?</source>
        <translation>Diese Aktion verwirft alle Änderungen<byte value="xd"/>
<byte value="xd"/>
Fortfahren und alle Änderungen verlieren?</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Offnet</source>
        <translation>Nicht im Netz</translation>
    </message>
    <message>
        <source>Not Commissioned yet</source>
        <translation>Noch nicht in Betrieb genommen</translation>
    </message>
    <message>
        <source>Unconfigured</source>
        <translation>Nicht konfiguriert</translation>
    </message>
    <message>
        <source>App&apos;less</source>
        <translation>Ohne Applikation</translation>
    </message>
    <message>
        <source>Cnfg Online</source>
        <translation>Konfiguriert, online</translation>
    </message>
    <message>
        <source>Cnfg Offline</source>
        <translation>Konfiguriert, offline</translation>
    </message>
    <message>
        <source>Soft Offline</source>
        <translation>Soft-offline</translation>
    </message>
    <message>
        <source>Cnfg Bypass</source>
        <translation>Konfiguriert, Bypass</translation>
    </message>
    <message>
        <source>%1 could not be read from the device, so its changes were not applied.<byte value="xd"/>
Use Refresh All, then apply again.</source>
        <translation>%1 konnte nicht vom Gerät gelesen werden, daher wurden seine Änderungen nicht übernommen.<byte value="xd"/>
Wählen Sie „Alles neu lesen“ und übernehmen Sie dann erneut.</translation>
    </message>
    <message>
        <source>The changes were not applied:<byte value="xd"/>
<byte value="xd"/>
%1</source>
        <translation>Die Änderungen wurden nicht übernommen:<byte value="xd"/>
<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>Verification of %1 failed<byte value="xd"/>
written %2, read back %3</source>
        <translation>Überprüfung von %1 fehlgeschlagen<byte value="xd"/>
geschrieben %2, zurückgelesen %3</translation>
    </message>
    <message>
        <source>%1: yours %2, on the device now %3</source>
        <translation>%1: Ihr Wert %2, jetzt auf dem Gerät %3</translation>
    </message>
    <message>
        <source>%1 of %2 was changed on the device since it was read, in fields you changed too:<byte value="xd"/>
<byte value="xd"/>
%3<byte value="xd"/>
<byte value="xd"/>
Overwrite them with your values, or keep the device&apos;s?</source>
        <translation>%1 von %2 wurde auf dem Gerät geändert, seit es gelesen wurde, in Feldern, die auch Sie geändert haben:<byte value="xd"/>
<byte value="xd"/>
%3<byte value="xd"/>
<byte value="xd"/>
Mit Ihren Werten überschreiben oder die des Geräts behalten?</translation>
    </message>
    <message>
        <source>&amp;Overwrite</source>
        <translation>Über&amp;schreiben</translation>
    </message>
    <message>
        <source>&amp;Keep the device&apos;s</source>
        <translation>Gerätewerte be&amp;halten</translation>
    </message>
    <message>
        <source>The resource files required for this device are not present on this computer. Browsing and data formating capabilities might be restricted to standard types and standard functional profile templates. Do you want to continue?</source>
        <translation>Die Ressourcendateien, die dieses Gerät benötigt, sind auf diesem Rechner nicht vorhanden. Anzeigen und Formatieren von Daten sind dann womöglich auf Standardtypen und Standard-Funktionsprofile beschränkt. Möchten Sie fortfahren?</translation>
    </message>
</context>
<context>
    <name>fProgress</name>
    <message>
        <source>Initializating plug-in . . .</source>
        <translation>Plug-in wird gestartet . . .</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Registering plug-in . . .</source>
        <translation>Plug-in wird registriert . . .</translation>
    </message>
    <message>
        <source>Unregistering plug-in . . .</source>
        <translation>Plug-in wird abgemeldet . . .</translation>
    </message>
    <message>
        <source>Initializing plug-in . . .</source>
        <translation>Plug-in wird initialisiert . . .</translation>
    </message>
</context>
<context>
    <name>fRegisterPlugIn</name>
    <message>
        <source>Minimal Mode</source>
        <translation>Minimal</translation>
    </message>
    <message>
        <source>Complete Mode</source>
        <translation>Vollständig</translation>
    </message>
    <message>
        <source>Exhaustive Mode</source>
        <translation>Erschöpfend</translation>
    </message>
    <message>
        <source>&amp;Register Plug-in</source>
        <translation>Plug-in &amp;registrieren</translation>
    </message>
    <message>
        <source>&amp;Deregister Plug-in</source>
        <translation>Plug-in &amp;abmelden</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
</context>
</TS>
