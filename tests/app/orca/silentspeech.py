# A speech server for Orca that says nothing: Orca writes every utterance to its debug file as a
# "SPEECH OUTPUT" line before it hands it over, and the check reads them there. Orca 43 and 48
# name the server's methods differently; both names are given.
from orca import debug, speechserver

# Each line as it is written, so that the check reads what was said when it was said.
if debug.debugFile:
    debug.debugFile.reconfigure(line_buffering=True)


class SpeechServer(speechserver.SpeechServer):
    _server = None

    @staticmethod
    def getFactoryName():
        return "silent"

    @staticmethod
    def getSpeechServers():
        return [SpeechServer.getSpeechServer()]

    @staticmethod
    def getSpeechServer(info=None):
        if SpeechServer._server is None:
            SpeechServer._server = SpeechServer()
        return SpeechServer._server

    get_speech_server = getSpeechServer

    @staticmethod
    def shutdownActiveServers():
        pass

    def getInfo(self):
        return ["silent", "silent"]

    get_info = getInfo

    def getVoiceFamilies(self):
        return []
