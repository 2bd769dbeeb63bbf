#!/usr/bin/env python3
"""A speech-dispatcher output module that speaks into a file instead of a sound device.

speech-dispatcher starts it and talks to it over standard input and output in its module
protocol: a command per line, a message's text in lines ended by a lone ".". Each thing it is
asked to say (a text, a character, a key, a sound icon) becomes one JSON line appended to the
file that QZ_SPEECH_LOG names: {"at": seconds since 1970, "kind": "text", "text": ...}, the
text as the screen reader sent it, SSML included. A STOP is logged as {"kind": "stop"}. Speech
takes no time here: each message is reported begun and ended as soon as it is logged, so that
nothing waits in speech-dispatcher's queue for a key to cancel it.
"""
import json
import os
import sys
import time

KINDS = {"SPEAK": "text", "CHAR": "char", "KEY": "key", "SOUND_ICON": "sound icon"}


def reply(*lines):
    sys.stdout.write("".join(line + "\n" for line in lines))
    sys.stdout.flush()


def log(record):
    with open(os.environ["QZ_SPEECH_LOG"], "a", encoding="utf-8") as out:
        out.write(json.dumps({"at": time.time(), **record}, ensure_ascii=False) + "\n")


def lines_until_dot():
    """The lines of a block up to its lone ".", a leading dot of each unescaped."""
    block = []
    for line in sys.stdin:
        if line == ".\n":
            break
        block.append(line[1:] if line.startswith(".") else line)
    return block


def speak(kind):
    reply("202 OK RECEIVING MESSAGE")
    text = "".join(lines_until_dot()).removesuffix("\n")
    if not text:
        reply("301 ERROR CANT SPEAK")
        return
    log({"kind": kind, "text": text})
    reply("200 OK SPEAKING", "701 BEGIN", "702 END")


def settings(name, done):
    reply(f"207 OK RECEIVING {name}SETTINGS")
    lines_until_dot()
    reply(done)


def main():
    if sys.stdin.readline() != "INIT\n":
        return 3
    reply("299-speech logged to a file", "299 OK LOADED SUCCESSFULLY")
    for line in sys.stdin:
        command = line.rstrip("\n")
        if command in KINDS:
            speak(KINDS[command])
        elif command == "STOP":
            log({"kind": "stop"})  # nothing is being spoken: nothing to report
        elif command == "PAUSE":
            pass
        elif command == "SET":
            settings("", "203 OK SETTINGS RECEIVED")
        elif command == "AUDIO":
            settings("AUDIO ", "203 OK AUDIO INITIALIZED")
        elif command == "LOGLEVEL":
            settings("LOGLEVEL ", "203 OK LOGLEVEL SET")
        elif command == "LIST VOICES":
            reply("200-file\tzh\tnone", "200 OK VOICE LIST SENT")
        elif command.startswith("DEBUG"):
            reply("200 OK DEBUGGING")
        elif command == "QUIT":
            reply("210 OK QUIT")
            return 0
        else:
            reply("300 ERR UNKNOWN COMMAND")
    return 0


if __name__ == "__main__":
    sys.exit(main())
