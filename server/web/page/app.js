// SPDX-FileCopyrightText: 2026 The Velmora developers
// SPDX-License-Identifier: GPL-3.0-or-later
'use strict';

// The page of one web user: a desk of the server, driven through its session, shown live from
// the server's stream. The password typed for an entry goes once, in the body of the dial
// request, and is kept nowhere.

const $ = (id) => document.getElementById(id);
const NAME_KEY = 'velmora.name';
let session = null;
let rights = {};
let stream = null;
let line = { status: '', reason: '', upSeconds: -1, at: 0 };
let shownMonth = null; // the administrator's view, redrawn at a new width
let vote = null; // { due } while this page is asked to agree to a hang-up

function twoDigits(n) { return String(n).padStart(2, '0'); }

function clock(seconds) {
    return twoDigits(Math.floor(seconds / 3600)) + ':' + twoDigits(Math.floor(seconds / 60) % 60) +
        ':' + twoDigits(seconds % 60);
}

function spoken(status) {
    if (status === 'Connect device') return 'Dialling…';
    if (status === 'Disconnecting') return 'Hanging up…';
    if (status === 'Disconnected') return 'The line is down';
    return status;
}

function post(path, body) {
    return fetch(path, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json', 'X-Velmora-Session': session || '' },
        body: JSON.stringify(body || {}),
        credentials: 'same-origin',
        cache: 'no-store',
    }).then(async (response) => {
        if (!response.ok) {
            const answer = await response.json().catch(() => ({}));
            throw new Error(answer.error || response.statusText);
        }
        return response.json().catch(() => ({}));
    });
}

function notice(text) { $('notice').textContent = text; }

function tick() {
    const now = Date.now();
    const up = line.status.startsWith('Connected') && line.upSeconds >= 0;
    $('duration').textContent =
        up ? 'for ' + clock(line.upSeconds + Math.floor((now - line.at) / 1000)) : '';
    if (vote) {
        const left = Math.max(0, Math.ceil((vote.due - now) / 1000));
        $('vote-text').textContent = 'Another user asks to hang up. The line goes down in ' +
            left + ' s unless someone keeps it up.';
        if (left === 0) endVote();
    }
}

function showLine() {
    const down = line.status === 'Disconnected';
    const busy = line.status !== '' && !down;
    $('state').textContent = spoken(line.status) || 'Linking…';
    $('reason').textContent = line.reason;
    $('dial-form').hidden = !(rights.dial && down);
    $('hangup').hidden = !(rights.hangUp && busy && line.status !== 'Disconnecting');
    tick();
}

function startVote(seconds) {
    vote = { due: Date.now() + seconds * 1000 };
    $('refuse').hidden = !rights.refuse;
    $('vote').hidden = false;
    tick();
    (rights.refuse ? $('refuse') : $('agree')).focus();
}

function endVote() {
    vote = null;
    const hadFocus = $('vote').contains(document.activeElement);
    $('vote').hidden = true;
    // The keyboard goes on from where the countdown was, not from the page's start.
    if (hadFocus) ($('hangup').hidden ? $('state') : $('hangup')).focus();
}

function onEvent(message) {
    const event = JSON.parse(message.data);
    if (event.type === 'status') {
        line = { status: event.status, reason: event.reason, upSeconds: event.upSeconds,
            at: Date.now() };
        if (!event.status.startsWith('Connected')) {
            endVote();
            notice('');
        }
        showLine();
        if (rights.admin && event.status === 'Disconnected') loadAccounting();
    } else if (event.type === 'vote') {
        startVote(event.seconds);
    } else if (event.type === 'voteEnd') {
        if (vote) endVote();
        else notice(event.locked ? 'The line is locked: it stays up.' :
            'Another user keeps the line up.');
    } else if (event.type === 'users') {
        showUsers(event.names);
    } else if (event.type === 'message') {
        const item = document.createElement('li');
        const sender = document.createElement('strong');
        sender.textContent = event.from + ': ';
        item.append(sender, event.text);
        $('received').append(item);
        $('messages').open = true;
    } else if (event.type === 'password') {
        notice('Wrong password; type it again.');
        $('password').focus();
    } else if (event.type === 'closed') {
        line.status = '';
        showLine();
        notice('The server closed the link; linking again…');
    }
}

function openStream() {
    if (stream) stream.close();
    stream = new EventSource('/events?session=' + encodeURIComponent(session));
    stream.onmessage = onEvent;
    stream.onerror = () => {
        if (stream.readyState === EventSource.CLOSED) setTimeout(start, 2000);
    };
}

function showUsers(names) {
    const chosen = new Set([...document.querySelectorAll('#recipients input:checked')]
        .map((box) => box.value));
    for (const label of document.querySelectorAll('#recipients label')) label.remove();
    $('nobody').hidden = names.length > 0;
    names.forEach((name, i) => {
        const label = document.createElement('label');
        const box = document.createElement('input');
        box.type = 'checkbox';
        box.value = name;
        box.id = 'recipient-' + i;
        box.checked = chosen.has(name);
        label.htmlFor = box.id;
        label.append(box, ' ' + name);
        $('recipients').append(label);
    });
}

function fillPhonebook(entries) {
    const collator = new Intl.Collator(undefined, { sensitivity: 'accent' });
    entries.sort((a, b) => collator.compare(a.name, b.name));
    const select = $('entry');
    select.replaceChildren();
    for (const entry of entries) {
        const option = document.createElement('option');
        option.value = entry.name;
        option.textContent = entry.name;
        option.dataset.password = entry.password ? 'yes' : 'no';
        select.append(option);
    }
    showPassword();
}

function showPassword() {
    const chosen = $('entry').selectedOptions[0];
    $('password-row').hidden = !chosen || chosen.dataset.password !== 'yes';
}

function start() {
    const name = localStorage.getItem(NAME_KEY);
    if (!name) {
        $('desk').hidden = true;
        $('name-form').hidden = false;
        $('name').focus();
        return;
    }
    post('/session', { name }).then((answer) => {
        session = answer.session;
        rights = answer.rights;
        $('identity-text').textContent = 'You are ' + answer.identity;
        $('identity').hidden = false;
        $('name-form').hidden = true;
        $('desk').hidden = false;
        $('admin').hidden = !rights.admin;
        $('messages').hidden = !rights.message;
        fillPhonebook(answer.phonebook);
        notice('');
        showLine();
        openStream();
        if (rights.admin) loadAccounting();
    }).catch((error) => {
        $('desk').hidden = false;
        notice(error.message + '; trying again…');
        setTimeout(start, 5000);
    });
}

function duration(seconds) {
    const hours = Math.floor(seconds / 3600);
    const minutes = Math.floor(seconds / 60) % 60;
    return hours > 0 ? hours + ' h ' + twoDigits(minutes) + ' min' :
        minutes > 0 ? minutes + ' min ' + twoDigits(seconds % 60) + ' s' : seconds + ' s';
}

// Bytes as people read them: 1.5 MB, 820 kB, 12 B.
function size(bytes) {
    const units = ['B', 'kB', 'MB', 'GB', 'TB'];
    let unit = 0, value = bytes;
    while (value >= 1000 && unit < units.length - 1) {
        value /= 1000;
        unit += 1;
    }
    return (unit === 0 || value >= 100 ? Math.round(value) : value.toFixed(1)) + ' ' + units[unit];
}

function svg(tag, attributes) {
    const element = document.createElementNS('http://www.w3.org/2000/svg', tag);
    for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
    return element;
}

// Horizontal bars, one per name, the longest time the full width: read at a glance, on a phone
// as on a desk.
function drawChart(target, totals) {
    // Drawn at the width it is shown at, so that its text stays readable on a phone.
    const row = 28, width = Math.max(300, $(target).clientWidth || 600);
    const labelWidth = Math.round(width * 0.34), valueWidth = 190;
    const chart = svg('svg', { viewBox: `0 0 ${width} ${Math.max(1, totals.length) * row}`,
        role: 'img' });
    const title = svg('title', {});
    title.textContent = totals.map((t) => `${t.name}: ${duration(t.seconds)}, ${t.calls} ` +
        (t.calls === 1 ? 'call' : 'calls') + `, ${size(t.bytes)}`).join('; ') || 'No calls';
    chart.append(title);
    const longest = Math.max(1, ...totals.map((t) => t.seconds));
    totals.forEach((total, i) => {
        const y = i * row;
        const label = svg('text', { x: 0, y: y + 18 });
        const fits = Math.floor(labelWidth / 8);
        label.textContent = total.name.length > fits ? total.name.slice(0, fits - 1) + '…' :
            total.name;
        const length = Math.max(2, (width - labelWidth - valueWidth) * total.seconds / longest);
        const bar = svg('rect', { class: 'bar', x: labelWidth, y: y + 4, height: row - 8,
            width: length });
        const value = svg('text', { x: labelWidth + length + 6, y: y + 18 });
        value.textContent = `${duration(total.seconds)} · ${total.calls} · ${size(total.bytes)}`;
        chart.append(label, bar, value);
    });
    if (totals.length === 0) {
        const none = svg('text', { x: 0, y: 18 });
        none.textContent = 'No calls this month';
        chart.append(none);
    }
    $(target).replaceChildren(chart);
}

function loadAccounting() {
    fetch('/accounting', { cache: 'no-store', credentials: 'same-origin' })
        .then((response) => response.json())
        .then((month) => {
            shownMonth = month;
            showAccounting(month);
        })
        .catch(() => notice('The accounting log could not be read.'));
}


function showAccounting(month) {
    $('admin-heading').textContent = `Calls of ${month.month}` +
        (month.logged ? '' : ' (no accounting log is configured)');
    drawChart('chart-entries', month.perEntry);
    drawChart('chart-desks', month.perDesk);
    const body = $('last-calls').tBodies[0];
    body.replaceChildren();
    for (const call of month.last) {
        const tr = document.createElement('tr');
        for (const text of [call.start, call.entry, call.desk, duration(call.seconds),
            size(call.bytes)]) {
            const td = document.createElement('td');
            td.textContent = text;
            tr.append(td);
        }
        body.append(tr);
    }
}

document.addEventListener('DOMContentLoaded', () => {
    $('name-form').addEventListener('submit', (event) => {
        event.preventDefault();
        const name = $('name').value.trim();
        if (!name) return;
        localStorage.setItem(NAME_KEY, name);
        start();
    });
    $('rename').addEventListener('click', () => {
        localStorage.removeItem(NAME_KEY);
        if (stream) stream.close();
        $('name').value = '';
        start();
    });
    $('entry').addEventListener('change', showPassword);
    $('dial-form').addEventListener('submit', (event) => {
        event.preventDefault();
        const body = { entry: $('entry').value };
        if (!$('password-row').hidden) body.password = $('password').value;
        $('password').value = '';
        notice('');
        post('/dial', body).catch((error) => notice(error.message));
    });
    $('hangup').addEventListener('click', () => {
        notice('Asking the other users; any of them may keep the line up.');
        post('/hangup').catch((error) => notice(error.message));
    });
    $('refuse').addEventListener('click', () => {
        endVote();
        post('/answer', { agree: false }).catch((error) => notice(error.message));
    });
    $('agree').addEventListener('click', () => {
        endVote();
        post('/answer', { agree: true }).catch((error) => notice(error.message));
    });
    $('messages').addEventListener('toggle', () => {
        if ($('messages').open) post('/users').catch((error) => notice(error.message));
    });
    $('refresh-users').addEventListener('click', () => {
        post('/users').catch((error) => notice(error.message));
    });
    $('message-form').addEventListener('submit', (event) => {
        event.preventDefault();
        const to = [...document.querySelectorAll('#recipients input:checked')]
            .map((box) => box.value);
        const text = $('message-text').value;
        post('/message', { to, text }).then(() => { $('message-text').value = ''; })
            .catch((error) => notice(error.message));
    });
    setInterval(tick, 1000);
    window.addEventListener('resize', () => { if (shownMonth) showAccounting(shownMonth); });
    start();
});
