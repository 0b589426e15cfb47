local total = 0
local i = 0
while i < 1000000 do
  local text = "item " .. tostring(i)
  total = total + #text
  i = i + 1
end
assert(total == 10888890)
